#include "views/loadadaptscene.h"

#include "foundation/methodname.h"
#include "foundation/plainmessagebox.h"
#include "foundation/utilities.h"
#include "views/baritem.h"
#include "views/graphitem.h"
#include "views/loadmeasurementexport.h"
#include "views/proxywidget.h"

#include <QAction>
#include <QDebug>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGraphicsProxyWidget>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QUrl>

#include <climits>
#include <cmath>

namespace {

const QString hiddenScrollBar = QStringLiteral("QScrollBar {height:0px;}");

// Scale rows: 16 steps from the zero line (row 0) to the top of the range (row 16).
constexpr int scaleSteps = 16;

// The switches a panel of advanced functions may send, by the sender's object name.
const QString velocityForegroundSwitch = QStringLiteral("dumpVelocityForeground");
const QString historySwitch = QStringLiteral("ignoreViewWitdh");
const QString scopeSwitch = QStringLiteral("changeScope");

// The dotted grid of the canvas as one item, drawn once into a cache at the view's resolution:
// some three hundred dotted lines drawn anew for every sample would cost the poll its pace.
class GridItem : public QGraphicsItem
{
public:
    struct Line
    {
        QLineF line;
        QColor colour;
    };

    explicit GridItem(QList<Line> lines)
        : lines(std::move(lines))
    {
        for (const Line &l : std::as_const(this->lines))
            bounds |= QRectF(l.line.p1(), l.line.p2()).normalized().adjusted(-1, -1, 1, 1);
        setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    }

    QRectF boundingRect() const override { return bounds; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override
    {
        QPen pen(QBrush(Qt::black), 0, Qt::DotLine, Qt::RoundCap, Qt::RoundJoin);
        for (const Line &l : std::as_const(lines)) {
            pen.setColor(l.colour);
            painter->setPen(pen);
            painter->drawLine(l.line);
        }
    }

private:
    QList<Line> lines;
    QRectF bounds;
};

// The colour a translucent pen shows on the white canvas. The graphs are drawn in it, opaque: a
// translucent pen makes the raster engine blend every pixel of a noisy load curve through its
// thread pool, some five times the work of an opaque one, for the same picture.
QColor onWhiteCanvas(int red, int green, int blue, int alpha)
{
    const auto mix = [alpha](int channel) { return 255 - (255 - channel) * alpha / 255; };
    return QColor(mix(red), mix(green), mix(blue));
}

} // namespace

LoadAdaptScene::LoadAdaptScene(QGraphicsView *view, int currentScale)
    : QGraphicsScene(view)
    , currentScale(currentScale)
    , view(view)
    , openFile([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
    QFont sceneFont;
    sceneFont.setStyle(QFont::StyleNormal);
    sceneFont.setWeight(QFont::Normal);
    setFont(sceneFont);

    // The view fills its own white background, so the dialog beneath it need not be painted again
    // for every sample.
    view->setBackgroundBrush(Qt::white);
    view->viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setSceneRect(0, -16, canvasWidth, canvasHeight);
    view->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const int scrollBarHeight = QScrollBar(Qt::Horizontal).sizeHint().height();
    view->setFixedHeight(canvasHeight + 32 + 14 + scrollBarHeight);
    view->setScene(this);
    view->adjustSize();
    // The fixed height was only the first size; the user may shrink and grow the view.
    view->setMinimumHeight(220);
    view->setMaximumHeight(16777215);

    view->setStatusTip(tr("Use right mouse button for advanced functions"));
    setChipName(QStringLiteral("362"));
    motorDigits = view->objectName().remove(QRegularExpression(QStringLiteral("[\\D]")));
    if (!motorDigits.isEmpty())
        motorDigits.prepend(QStringLiteral(" motor "));

    repaintPacing.setSingleShot(true);
    repaintPacing.setTimerType(Qt::PreciseTimer);
    connect(&repaintPacing, &QTimer::timeout, this, &LoadAdaptScene::showSamples);
    setupGraphicsView();

    QScrollBar *history = view->horizontalScrollBar();
    historyConnection
        = connect(history, &QScrollBar::valueChanged, this, &LoadAdaptScene::adjustScene);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    history->setStyleSheet(hiddenScrollBar);
    history->hide();
    view->installEventFilter(this);
}

LoadAdaptScene::~LoadAdaptScene()
{
    // The base destructor detaches the view, whose scroll bar then moves: its items are gone by
    // then, so the label must no longer be placed.
    disconnect(historyConnection);
    valueWidget = nullptr;
    if (contextPanel)
        delete contextPanel;
}

void LoadAdaptScene::setChipName(const QString &number)
{
    chipName = QStringLiteral("KVN") + number;
}

void LoadAdaptScene::setFileOpener(std::function<bool(const QUrl &)> opener)
{
    openFile = std::move(opener);
}

void LoadAdaptScene::setupGraphicsView()
{
    qDebug() << KVN_METHOD << view->objectName() << velocityForeground;

    int hysteresisLower = 0;
    int hysteresisUpper = 0;
    int currentLower = 0;
    int currentUpper = 0;
    bool allSize = false;
    bool recording = false;
    if (scopeIndex < 0) {
        scopeIndex = 0;
    } else {
        hysteresisBand->getValues(hysteresisLower, hysteresisUpper);
        currentBand->getValues(currentLower, currentUpper);
        allSize = velocityItem->usesAllSize();
        recording = velocityItem->savesValues();
        clear();
    }

    followTextSize();
    valueWidget = new ProxyWidget();
    valueWidget->setProxy(addWidget(valueWidget));

    const double zoom = double(1 << scopeIndex);
    const QFontMetrics metrics(font());
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("1024"));
    const int currentWidth = metrics.horizontalAdvance(QString::number(10 * currentScale));
    addScaleLabels(zoom, labelWidth, currentWidth, metrics.height());
    scaleMargin = 8 * ((currentWidth + labelWidth) / 8) + 8;

    const int zoomed = 1 << scopeIndex;
    const int loadTop = 1024 / zoomed;
    const int currentTop = currentScale / zoomed;
    hysteresisBand = new BarItem(32, canvasWidth - scaleMargin - 15, 15, loadTop,
                                 QColor(QStringLiteral("skyblue")));
    addItem(hysteresisBand);
    hysteresisBand->setLowerValue(hysteresisLower);
    hysteresisBand->setUpperValue(hysteresisUpper);
    currentBand = new BarItem(1, canvasWidth - scaleMargin - 31, 15, currentTop,
                              QColor(QStringLiteral("lightsalmon")));
    addItem(currentBand);
    currentBand->setLowerValue(currentLower);
    currentBand->setUpperValue(currentUpper);

    QList<int> tickRows;
    for (int k = scaleSteps; k >= 0; --k)
        tickRows << 4 * int(std::round(k * 0.0625 * 0.25 * canvasHeight));
    addGrid(canvasWidth - scaleMargin, tickRows);

    const int timeAlpha = velocityForeground ? 32 : 240;
    const int velocityAlpha = velocityForeground ? 240 : 16;
    currentGraph = new GraphItem(scaleMargin, onWhiteCanvas(255, 0, 0, timeAlpha), currentTop, 0);
    addItem(currentGraph);
    currentGraph->setUseAllSize(allSize);
    for (int i = 0; i < canvasWidth; ++i)
        currentGraph->addValue(0);
    loadGraph = new GraphItem(scaleMargin, onWhiteCanvas(0, 0, 255, timeAlpha), loadTop, 0);
    addItem(loadGraph);
    for (int i = 0; i < canvasWidth; ++i)
        loadGraph->addValue(0);
    velocityItem = new Graph_XY_Item(&timeMap, &velocityMap, scaleMargin,
                                     onWhiteCanvas(0, 0, 255, velocityAlpha), loadTop, 0);
    addItem(velocityItem);
    velocityItem->setUseAllSize(allSize);
    velocityItem->setSaveValues(recording);

    adjustScene();
}

void LoadAdaptScene::addScaleLabels(double zoom, int labelWidth, int currentWidth, int fontHeight)
{
    const QBrush red(Qt::red);
    const QBrush blue(Qt::blue);
    // A large text would run the digits of neighbouring rows into one another: then only every
    // second (or fourth ...) row is labelled, with a quarter of a digit free between them.
    const int digits
        = QFontMetrics(font()).tightBoundingRect(QStringLiteral("0123456789")).height();
    int rowStep = 1;
    while (rowStep < scaleSteps && rowStep * canvasHeight < scaleSteps * (digits + digits / 4))
        rowStep *= 2;
    for (int k = scaleSteps; k >= 0; --k) {
        if (k % rowStep != 0)
            continue;
        const double y = (1.0 - double(k) / scaleSteps) * canvasHeight - (fontHeight + 1) / 2;

        // Only whole currents are labelled: at the highest zoom every second row stays empty.
        const double current = 0.0625 * (k * currentScale) / zoom;
        if (current == std::ceil(current)) {
            QGraphicsSimpleTextItem *label
                = addSimpleText(QString::number(current, 'g', 6), font());
            label->setBrush(red);
            if (current >= currentScale)
                label->setOpacity(0.3);
            label->setPos(canvasWidth - labelWidth - currentWidth, y);
            label->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
        }

        const int load = int(std::round(float(k * 1024 * 0.0625f) / float(zoom)));
        QGraphicsSimpleTextItem *label = addSimpleText(QString::number(load), font());
        label->setBrush(blue);
        if (load >= 1024)
            label->setOpacity(0.3);
        label->setPos(canvasWidth - labelWidth, y);
        label->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    }
}

void LoadAdaptScene::addGrid(int right, const QList<int> &tickRows)
{
    QList<GridItem::Line> lines;
    QColor vertical(QStringLiteral("#AFB2B5"));
    vertical.setAlpha(48);
    for (int x = 0; x <= right; x += 8)
        lines.append({QLineF(x, 0, x, canvasHeight), vertical});
    for (int y = 0; y <= canvasHeight; y += 8) {
        QColor horizontal(QLatin1String(tickRows.contains(y) ? "#15252F" : "#9AA9B6"));
        horizontal.setAlpha(64);
        lines.append({QLineF(0, y, right, y), horizontal});
    }
    addItem(new GridItem(std::move(lines)));
}

void LoadAdaptScene::adjustScene()
{
    if (!valueWidget)
        return;
    valueWidget->label->setFont(view->font());
    valueWidget->fitToText();
    longestLabel = valueWidget->label->text().size();
    if (valueWidget->proxy && !views().isEmpty())
        valueWidget->proxy->setPos(views().constFirst()->mapToScene(QPoint(1, 1)));
}

void LoadAdaptScene::addSample(int load, int current, int velocity)
{
    // The magnitude of the most negative 32-bit value does not fit an int.
    const qint64 speed = qAbs(qint64(velocity));
    pendingLabel = QStringLiteral("<div style='color: red; '> actual motor current ")
        + QStringLiteral("vs. time: ") + QString::number(current) + QStringLiteral("</div>")
        + QStringLiteral("<div style='color: blue; '>strainWatch value ")
        + (velocityForeground ? QStringLiteral("vs. velocity: ") : QStringLiteral("vs. time: "))
        + QString::number(load) + QStringLiteral("</div><br>") + QStringLiteral("velocity: ")
        + formatNumber(double(velocity), 0);
    currentGraph->addValue(current);
    loadGraph->addValue(load);
    velocityItem->addValue(load, int(qMin<qint64>(speed, INT_MAX)));
    // Samples come every few milliseconds; the label and the picture follow at a pace the eye
    // can take, with all samples of the meantime in them.
    if (!repaintPacing.isActive()) {
        // Every scene repaints on one common beat, so the two motors' views of a dialog are
        // painted in one pass instead of one after the other.
        static QElapsedTimer beat;
        if (!beat.isValid())
            beat.start();
        repaintPacing.start(int(repaintIntervalMs - beat.elapsed() % repaintIntervalMs));
    }
}

void LoadAdaptScene::showSamples()
{
    // A hidden view is brought up to date when it is shown again.
    if (!view->isVisible())
        return;
    if (valueWidget && !pendingLabel.isEmpty() && pendingLabel != valueWidget->label->text()) {
        valueWidget->setText(pendingLabel);
        // The label grows with its text, in whatever font the style gives it; laying out its
        // rich text again for every sample would cost more than drawing the graphs.
        if (pendingLabel.size() > longestLabel) {
            longestLabel = pendingLabel.size();
            valueWidget->fitToText();
        }
    }
    // Only the graphs move: the scale columns at the right stay as they were drawn. A value far
    // out of range draws its line past the canvas, so the graph column is taken at any height;
    // the velocity axis below the canvas is written across the whole width.
    update(QRectF(sceneRect().left(), -loadgraph::farOut, canvasWidth - scaleMargin + 2,
                  2 * loadgraph::farOut));
    update(QRectF(sceneRect().left(), canvasHeight, canvasWidth, loadgraph::farOut));
}

void LoadAdaptScene::followTextSize()
{
    const int size = QFontInfo(view->font()).pixelSize();
    if (size <= 0 || QFontInfo(font()).pixelSize() == size)
        return;
    QFont sized = font();
    sized.setPixelSize(size);
    setFont(sized);
}

void LoadAdaptScene::relayoutForTextSize()
{
    if (QFontInfo(view->font()).pixelSize() == QFontInfo(font()).pixelSize())
        return;
    // Only the scale changes: the samples drawn so far and the label stay.
    const QList<int> currents = currentGraph->series();
    const QList<int> loads = loadGraph->series();
    const QString label = valueWidget->label->text();
    setupGraphicsView();
    for (int value : currents)
        currentGraph->addValue(value);
    for (int value : loads)
        loadGraph->addValue(value);
    valueWidget->setText(label);
    valueWidget->fitToText();
    longestLabel = label.size();
    update();
}

bool LoadAdaptScene::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view && event->type() == QEvent::Show)
        showSamples();
    // The scale's digits are as large as the text the user chose for the dialog; the view then
    // scales them with the canvas. In the application's font alone they would only shrink with
    // the view when a larger text leaves the graph less room.
    if (watched == view && event->type() == QEvent::FontChange)
        QMetaObject::invokeMethod(this, &LoadAdaptScene::relayoutForTextSize, Qt::QueuedConnection);
    return QGraphicsScene::eventFilter(watched, event);
}

void LoadAdaptScene::btn_clicked(bool state)
{
    const QString name = sender() ? sender()->objectName() : QString();
    if (name.contains(velocityForegroundSwitch)) {
        velocityForeground = state;
    } else if (name.contains(historySwitch)) {
        QScrollBar *history = view->horizontalScrollBar();
        history->setStyleSheet(state ? QStringLiteral("QScrollBar {;}") : hiddenScrollBar);
        history->setVisible(state);
        history->setValue(history->maximum());
        return;
    } else if (name.contains(scopeSwitch)) {
        scopeIndex = (scopeIndex + 1) % 3;
    }
    rebuild();
}

void LoadAdaptScene::rebuild()
{
    finishContextMenu();
    setupGraphicsView();
}

void LoadAdaptScene::finishContextMenu(int unused)
{
    Q_UNUSED(unused)
    if (!contextPanel)
        return;
    lastMenuPos = contextPanel->pos();
    contextPanel->deleteLater();
    contextPanel = nullptr;
}

void LoadAdaptScene::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    // Nothing in the canvas reacts to the mouse.
    Q_UNUSED(event)
}

// The advanced functions the view's status tip promises: the three switches, recording by time,
// clearing and the two exports.
void LoadAdaptScene::contextMenuEvent(QGraphicsSceneContextMenuEvent *event)
{
    finishContextMenu();
    auto *menu = new QMenu(view);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto addSwitch = [this, menu](const QString &text, const QString &name, bool checked) {
        QAction *action = menu->addAction(text);
        action->setObjectName(name);
        action->setCheckable(true);
        action->setChecked(checked);
        connect(action, &QAction::triggered, this, &LoadAdaptScene::btn_clicked);
    };
    addSwitch(tr("Velocity graph in front"), velocityForegroundSwitch, velocityForeground);
    addSwitch(tr("Show the history"), historySwitch, view->horizontalScrollBar()->isVisible());
    QAction *zoom = menu->addAction(tr("Zoom the values (now %1x)").arg(zoomFactor()));
    zoom->setObjectName(scopeSwitch);
    connect(zoom, &QAction::triggered, this, &LoadAdaptScene::btn_clicked);
    menu->addSeparator();
    QAction *record = menu->addAction(tr("Record the load value with its time"));
    record->setCheckable(true);
    record->setChecked(velocityItem->savesValues());
    connect(record, &QAction::toggled, velocityItem, &Graph_XY_Item::setSaveValues);
    connect(menu->addAction(tr("Clear the recorded values")), &QAction::triggered, velocityItem,
            &Graph_XY_Item::clearXY_Map);
    menu->addSeparator();
    // An export may end in a modal box. Run from the menu's own handler, the box's event loop
    // would delete the menu underneath it; queued, the export starts once the menu is done.
    connect(menu->addAction(tr("Export load vs. velocity")), &QAction::triggered, this,
            &LoadAdaptScene::exportXYmap, Qt::QueuedConnection);
    connect(menu->addAction(tr("Export load vs. time")), &QAction::triggered, this,
            &LoadAdaptScene::exportSDTmap, Qt::QueuedConnection);
    connect(menu, &QMenu::aboutToHide, this, [this] { finishContextMenu(); });
    contextPanel = menu;
    // popup, not exec: the poll goes on while the menu is open.
    menu->popup(event ? event->screenPos() : lastMenuPos);
}

void LoadAdaptScene::exportXYmap()
{
    const LoadMeasurementExport::Result result
        = LoadMeasurementExport(motorDigits, chipName).writeVelocity(velocityMap);
    showExport(result.fileName, result.written, result.error);
}

void LoadAdaptScene::exportSDTmap()
{
    const LoadMeasurementExport::Result result
        = LoadMeasurementExport(motorDigits, chipName).writeTime(timeMap);
    showExport(result.fileName, result.written, result.error);
}

void LoadAdaptScene::showExport(const QString &fileName, bool written, const QString &error)
{
    finishContextMenu();
    if (!written) {
        qWarning() << KVN_METHOD << fileName << error;
        PlainMessageBox::warning(view, tr("Export to"),
                                 tr("%1 could not be written: %2").arg(fileName, error));
        return;
    }
    if (!openFile || !openFile(QUrl::fromLocalFile(fileName)))
        PlainMessageBox::information(view, tr("Export to"), fileName);
}
