#include "mainwindow/rampview.h"

#include "foundation/utilities.h"

#include <QDebug>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGraphicsLineItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QResizeEvent>

#include <cmath>

namespace {

// Pixel size, in scene units, of the "VMAX" mark and of its placement reference.
constexpr int textPixelSize = 25;
// Gap in device pixels between the caption and the bottom of the plot.
constexpr double captionGap = 6.0;

struct PositionReadout
{
    double position = 0.0;
    double acceleration = 0.0;
    double velocity = 0.0;
    double startX = 0.0;
};

// Walks a motor's phases up to scene x: whole phases left of x add their distance, the phase that
// x lies in adds v*dt + a*dt^2/2. A pointer exactly on a key has not reached that phase yet.
PositionReadout positionAt(const QMap<double, RampPhase> &phases, double timeScale, double x)
{
    PositionReadout r;
    int index = 0;
    for (auto it = phases.cbegin(); it != phases.cend(); ++it, ++index) {
        const RampPhase &phase = it.value();
        qDebug() << "Itertator" << index << x << it.key() << phase.acceleration << phase.velocity
                 << phase.distance << phase.name;
        if (x > it.key()) {
            r.position += phase.distance;
            r.acceleration = phase.acceleration;
            r.velocity = phase.velocity;
            r.startX = it.key();
            continue;
        }
        const double dt = (x - r.startX) * timeScale;
        r.position += r.velocity * dt + 0.5 * r.acceleration * dt * dt;
        qCritical() << "mot" << dt << r.position << r.acceleration << r.velocity << phase.distance;
        break;
    }
    return r;
}

QChar arrowFor(double acceleration)
{
    if (acceleration < 0)
        return QChar(0x2198);
    if (acceleration > 0)
        return QChar(0x2197);
    return QChar(0x00BB);
}

} // namespace

RampView::RampView(QWidget *parent)
    : QGraphicsView(parent)
    , rampScene(new QGraphicsScene())
{
    installEventFilter(this);
}

RampView::~RampView()
{
    // The scene has no parent object; it and its items go with the view.
    setScene(nullptr);
    delete rampScene;
}

void RampView::initScene()
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignRight | Qt::AlignBottom);
    resize(rampSceneSize);
    viewport()->setStyleSheet(QStringLiteral("background: white; border-radius: 5px;"));
    viewport()->setProperty("cursor", QCursor(Qt::BlankCursor));
    rampScene->setSceneRect(QRectF(0, 0, width() - 1, height() - 1));
    setScene(rampScene);
    viewport()->resize(rampSceneSize);
    setAttribute(Qt::WA_MouseTracking, true);
    setRenderHint(QPainter::Antialiasing, true);
    qWarning() << "RampView" << size();
}

void RampView::clearScene()
{
    qDebug() << "RampView::clearScene()"
             << "clearScene" << rampScene;
    rampScene->clear();
    vmaxMark = nullptr;
    const QRectF sceneRect = rampScene->sceneRect();
    const double width = std::trunc(sceneRect.width() - 2.5);
    const double height = std::trunc(sceneRect.height());
    rampScene->addRect(QRectF(2, 0, width - 2, height), QPen(), QBrush());

    if (!fontFactorKnown) {
        // The real pixel size, also for a font sized in points (whose pixelSize() is -1 and would
        // put the caption into the middle of the plot).
        const int fontPixels = qMax(1, QFontInfo(font()).pixelSize());
        fontFactor = textPixelSize / fontPixels;
        fontFactorKnown = true;
    }

    // The texts keep their size on screen whatever the view's scaling, and grow with the font
    // the user chose, a quarter larger than the form's own text; scaled with the plot they would
    // shrink as a larger font narrows the view.
    QFont textFont = QGuiApplication::font();
    textFont.setPixelSize(qMax(1, QFontInfo(font()).pixelSize()) * 5 / 4);
    QColor motorColor = motorColors.value(currentMotor, motorColors.first());
    motorColor.setAlpha(255);
    const QBrush motorBrush(motorColor, Qt::SolidPattern);

    readoutItem = rampScene->addSimpleText(tr("Click to change the motor"), textFont);
    readoutItem->setFlag(QGraphicsItem::ItemIgnoresTransformations);
    readoutItem->setPos(0, 0);
    noteItem = rampScene->addSimpleText(QString(), textFont);
    noteItem->setFlag(QGraphicsItem::ItemIgnoresTransformations);
    noteItem->setZValue(1);
    noteItem->setBrush(motorBrush);
    captionItem = rampScene->addSimpleText(QString(), textFont);
    captionItem->setFlag(QGraphicsItem::ItemIgnoresTransformations);
    captionItem->setBrush(motorBrush);
    cursorLine = rampScene->addLine(QLineF(0, 0, 0, height), QPen(Qt::black, 0));

    // The "VMAX" mark belongs to the plot's frame: it lies in the room above the plot that the
    // scaling leaves, so it scales with the plot.
    QFont frameFont = QGuiApplication::font();
    frameFont.setPixelSize(textPixelSize);
    QGraphicsSimpleTextItem *vmaxLabel
        = rampScene->addSimpleText(QStringLiteral("VMAX"), frameFont);
    vmaxLabel->setPos(0, -20 * fontFactor);
    vmaxLabel->setBrush(QBrush(QColor(255, 0, 255, 255), Qt::SolidPattern));
    vmaxLabel->setToolTip(QStringLiteral("Vmax"));
    vmaxMark = vmaxLabel;
    vmaxMarkY = vmaxLabel->pos().y();
    layoutVmaxMark();

    rampPhases.clear();
    pressedItem = nullptr;
}

double RampView::viewScale() const
{
    const double scale = transform().m11();
    return scale > 0 ? scale : 1.0;
}

QSizeF RampView::sceneSizeOf(const QGraphicsSimpleTextItem *text) const
{
    return text->boundingRect().size() * text->scale() / viewScale();
}

void RampView::placeCaption(double centreX, double bottomY)
{
    captionCentreX = centreX;
    captionBottomY = bottomY;
    layoutCaption();
}

void RampView::layoutVmaxMark()
{
    if (!vmaxMark)
        return;
    // In a view narrowed by a large text the plot's scaling would leave the mark a few pixels
    // high; it grows back to the form's text size, upwards from where its foot lies.
    const double height = vmaxMark->boundingRect().height();
    const double fewestPixels = qMax(1, QFontInfo(font()).pixelSize());
    const double scale = qMax(1.0, fewestPixels / (height * viewScale()));
    vmaxMark->setScale(scale);
    vmaxMark->setPos(0, vmaxMarkY - height * (scale - 1.0));
}

void RampView::layoutCaption()
{
    layoutVmaxMark();
    if (!captionItem || !noteItem)
        return;
    // Centred above the bottom of the plot, and the note on a line of its own above it, so
    // that neither lies under the read-out's first place in the top left corner.
    // A text wider than a narrow plot is made smaller, not cut at the plot's edges.
    const double plotWidth = rampScene->sceneRect().width() * viewScale() - 2 * captionGap;
    for (QGraphicsSimpleTextItem *text : {captionItem, noteItem}) {
        const double width = text->boundingRect().width();
        text->setScale(width > plotWidth && plotWidth > 0 ? plotWidth / width : 1.0);
    }
    const QSizeF caption = sceneSizeOf(captionItem);
    const double captionTop = captionBottomY - captionGap / viewScale() - caption.height();
    captionItem->setPos(std::trunc(captionCentreX - caption.width() / 2), captionTop);
    const QSizeF note = sceneSizeOf(noteItem);
    noteItem->setPos(std::trunc(captionCentreX - note.width() / 2),
                     captionTop - note.height() - 1 / viewScale());
}

QString RampView::readoutAt(int motor, double sceneX) const
{
    const PositionReadout r
        = positionAt(rampPhases.value(motor), timeScales.value(motor, 0.0), sceneX);
    return QString(arrowFor(r.acceleration)) + QLatin1Char(' ') + formatNumber(r.position, 1);
}

void RampView::mouseMoveEvent(QMouseEvent *event)
{
    if (!readoutItem || !cursorLine)
        return;
    const QPointF p = mapToScene(event->position().toPoint());
    const PositionReadout r
        = positionAt(rampPhases.value(currentMotor), timeScales.value(currentMotor, 0.0), p.x());
    const QChar arrow = arrowFor(r.acceleration);
    readoutItem->setText(QString(arrow) + QLatin1Char(' ') + formatNumber(r.position, 1));
    // The text keeps its size on screen; in scene units it is as wide as the scaling makes it.
    const double textWidth
        = QFontMetricsF(readoutItem->font()).horizontalAdvance(readoutItem->text()) / viewScale();
    const double sceneWidth = rampScene->sceneRect().width();
    // Near the right edge the read-out goes to the left of the pointer, so it stays readable.
    if (std::abs(sceneWidth - p.x()) >= textWidth + 10)
        readoutItem->setPos(p.x() + 10, p.y());
    else
        readoutItem->setPos(p.x() - (textWidth + 10), p.y());
    cursorLine->setPos(p.x(), 0);
    qDebug() << "m" << sceneWidth << textWidth << QString(arrow) << r.acceleration << r.velocity
             << r.startX << r.position << p.x() << timeScales;
}

void RampView::mousePressEvent(QMouseEvent *event)
{
    int drawnMotors = 0;
    for (const QMap<double, RampPhase> &phases : std::as_const(rampPhases))
        drawnMotors += phases.isEmpty() ? 0 : 1;
    // Without a drawn profile there is no other motor to turn to.
    if (drawnMotors == 0)
        return;

    pressedItem = itemAt(event->position().toPoint());
    currentMotor = (currentMotor + 1) % rampPhases.size();
    Q_EMIT newRampScene();
    qDebug() << "p" << currentMotor << rampPhases.size() << pressedItem << noteItem;
    mouseMoveEvent(event);
}

void RampView::mouseReleaseEvent(QMouseEvent *event)
{
    Q_UNUSED(event)
    pressedItem = nullptr;
}

void RampView::adjustRampScene(int x, int y)
{
    Q_UNUSED(x)
    Q_UNUSED(y)
    const int viewportWidth = viewport()->width();
    const int viewportHeight = viewport()->height();
    // A collapsed view (a hidden tab, a splitter pushed to the edge) keeps its scaling: a factor of
    // 0 would make the transformation singular and the next factor infinite.
    if (viewportWidth <= 0 || viewportHeight <= 0)
        return;
    const double factor = viewportWidth / scaledForWidth;
    scale(factor, factor);
    scaledForWidth = viewportWidth;
    // Only the view's own idea of the area to redraw follows the viewport. The scene keeps the
    // 1049 x 629 rectangle it was laid out in: the scaling above already fits that to the
    // viewport, and every drawing measures its plot from it.
    updateSceneRect(QRectF(0, 0, viewportWidth, viewportHeight));
    // The texts kept their size on screen, so in scene units they changed theirs.
    layoutCaption();
}

void RampView::resizeEvent(QResizeEvent *event)
{
    Q_UNUSED(event)
    adjustRampScene(0, 0);
}

bool RampView::eventFilter(QObject *obj, QEvent *event)
{
    if (event->type() == QEvent::Leave && cursorLine && readoutItem) {
        cursorLine->setPos(0, 0);
        readoutItem->setText(QString());
    }
    return QObject::eventFilter(obj, event);
}
