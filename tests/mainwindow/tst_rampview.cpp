#include "mainwindow/rampprofile.h"
#include "mainwindow/rampview.h"

#include "testenvironment.h"

#include <QFontInfo>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

namespace {

RampPhase phase(qint32 acceleration, qint32 velocity, double distance, const char *name)
{
    RampPhase p;
    p.acceleration = acceleration;
    p.velocity = velocity;
    p.distance = distance;
    p.name = QLatin1String(name);
    return p;
}

// A profile as the ramp calculator leaves it: motor 0 accelerates from x 20 to 120, cruises to
// 220 and decelerates to 300; motor 1 crawls at velocity 1 with twice the time per scene unit.
void drawProfiles(RampView &view)
{
    view.clearScene();
    view.timeScales = {1.0, 2.0};
    view.rampPhases[0] = {{19.99, phase(0, 0, 0, "Start M0")},
                          {20.0, phase(100, 0, 0, "A1")},
                          {120.0, phase(0, 1000, 5000, "Vmax")},
                          {220.0, phase(-100, 1000, 100000, "Dmax")},
                          {300.0, phase(0, 0, 4000, "Stop")}};
    view.rampPhases[1] = {{19.99, phase(0, 0, 0, "Start M1")},
                          {20.0, phase(0, 1, 0, "V")},
                          {900.0, phase(0, 0, 1760, "Stop")}};
}

void sendMouse(RampView &view, QEvent::Type type, const QPointF &scenePoint)
{
    const QPointF local = view.mapFromScene(scenePoint);
    QMouseEvent event(type, local, view.viewport()->mapToGlobal(local), Qt::LeftButton,
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view.viewport(), &event);
}

QGraphicsSimpleTextItem *textItem(RampView &view, const QString &text)
{
    const QList<QGraphicsItem *> items = view.scene()->items();
    for (QGraphicsItem *item : items) {
        auto *textItem = qgraphicsitem_cast<QGraphicsSimpleTextItem *>(item);
        if (textItem && textItem->text() == text)
            return textItem;
    }
    return nullptr;
}

// Where a text item lies on the screen, whatever the view's scaling does to it.
QRectF onScreen(const RampView &view, const QGraphicsItem *item)
{
    return item->deviceTransform(view.viewportTransform()).mapRect(item->boundingRect());
}

// Motor 1's profile as the main window draws it after a change of a ramp box: into the scene's
// rectangle as it stands, with the caption centred under the plot.
void drawMotorRamp(RampView &view, const RampInputs &inputs)
{
    view.clearScene();
    const QRectF area = view.scene()->sceneRect();
    const RampProfile profile(area.width(), area.height());
    const MotorRamp ramp = profile.compute(0, inputs);
    view.captionItem->setText(ramp.caption);
    view.placeCaption((profile.drawableWidth() + 40) / 2.0, profile.height());
    QPointF previous(0, profile.height());
    for (const QPointF &point : ramp.points) {
        view.scene()->addLine(QLineF(previous, point), QPen(motorColors.at(0), 0));
        previous = point;
    }
}

const QString cruising = QString(QChar(0x00BB)) + QLatin1Char(' ');
const QString rising = QString(QChar(0x2197)) + QLatin1Char(' ');
const QString falling = QString(QChar(0x2198)) + QLatin1Char(' ');

} // namespace

class TestRampView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void sceneSetUpGivesTheDrawingArea();
    void readoutBeforeAnyMoveAsksForAClick();
    void readoutFollowsThePhases_data();
    void readoutFollowsThePhases();
    void readoutWithoutProfileOrScaleIsZero();
    void readoutFlipsLeftNearTheRightEdge();
    void clickCyclesTheMotorsAndAsksForARedraw();
    void clickWithoutProfileDoesNothing();
    void releaseForgetsThePressedItem();
    void leavingClearsCursorAndReadout();
    void rescalingFollowsTheViewportWidth();
    void collapsedViewportKeepsTheScaling();
    void resizeEventRescales();
    void redrawAfterAResizeFillsTheViewport_data();
    void redrawAfterAResizeFillsTheViewport();
    void vmaxCaptionIsPlacedFromTheRealPixelSize_data();
    void noteAndCaptionHavePlacesOfTheirOwnAtEveryScale_data();
    void noteAndCaptionHavePlacesOfTheirOwnAtEveryScale();
    void vmaxCaptionIsPlacedFromTheRealPixelSize();
};

void TestRampView::sceneSetUpGivesTheDrawingArea()
{
    RampView view;
    view.initScene();
    QCOMPARE(view.scene(), view.rampScene);
    QCOMPARE(view.size(), rampSceneSize);
    QCOMPARE(view.rampScene->sceneRect(), QRectF(0, 0, 1049, 629));
    QVERIFY(view.testAttribute(Qt::WA_MouseTracking));
    QCOMPARE(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(view.alignment(), Qt::AlignRight | Qt::AlignBottom);
    QCOMPARE(view.viewport()->cursor().shape(), Qt::BlankCursor);
    QCOMPARE(motorColors.size(), 2);
    QCOMPARE(motorColors.at(0), QColor(0, 0, 255, 128));
    QCOMPARE(motorColors.at(1), QColor(255, 0, 0, 128));
}

void TestRampView::readoutBeforeAnyMoveAsksForAClick()
{
    RampView view;
    view.initScene();
    drawProfiles(view);
    QCOMPARE(view.readoutItem->text(), QStringLiteral("Click to change the motor"));
    QCOMPARE(view.readoutItem->pos(), QPointF(0, 0));
    QVERIFY(view.cursorLine);
    QVERIFY(!view.pressedItem);
}

void TestRampView::readoutFollowsThePhases_data()
{
    QTest::addColumn<int>("motor");
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("readout");

    QTest::newRow("left of the first key") << 0 << 5.0 << cruising + QStringLiteral("0.0");
    QTest::newRow("on the first key") << 0 << 19.99 << cruising + QStringLiteral("0.0");
    // On a key the phase beginning there is not reached yet: the previous one still applies.
    QTest::newRow("on the first phase's key") << 0 << 20.0 << cruising + QStringLiteral("0.0");
    QTest::newRow("accelerating") << 0 << 70.0 << rising + QStringLiteral("125,000");
    QTest::newRow("cruising") << 0 << 170.0 << cruising + QStringLiteral("55,000");
    QTest::newRow("decelerating") << 0 << 250.0 << falling + QStringLiteral("90,000");
    QTest::newRow("past the last key") << 0 << 500.0 << cruising + QStringLiteral("109,000");
    QTest::newRow("small value with a decimal") << 1 << 21.57 << cruising + QStringLiteral("3.1");
}

void TestRampView::readoutFollowsThePhases()
{
    QFETCH(int, motor);
    QFETCH(double, x);
    QFETCH(QString, readout);

    RampView view;
    view.initScene();
    drawProfiles(view);
    QCOMPARE(view.readoutAt(motor, x), readout);
}

void TestRampView::readoutWithoutProfileOrScaleIsZero()
{
    RampView view;
    view.initScene();
    view.clearScene();
    QCOMPARE(view.readoutAt(0, 400), cruising + QStringLiteral("0.0"));
    // Phases without a time scale: whole phases still count, the partial one adds nothing.
    view.rampPhases[0] = {{20.0, phase(100, 0, 0, "A1")}, {120.0, phase(0, 50, 700, "V")}};
    QCOMPARE(view.readoutAt(0, 60), rising + QStringLiteral("0.0"));
    QCOMPARE(view.readoutAt(0, 200), cruising + QStringLiteral("700"));
    QVERIFY(!view.rampPhases.contains(1));
}

void TestRampView::readoutFlipsLeftNearTheRightEdge()
{
    RampView view;
    view.initScene();
    drawProfiles(view);

    sendMouse(view, QEvent::MouseMove, QPointF(100, 300));
    const double x = view.cursorLine->pos().x();
    QVERIFY(qAbs(x - 100) <= 1.5);
    QCOMPARE(view.readoutItem->pos().x(), x + 10);
    QVERIFY(!view.readoutItem->text().isEmpty());

    sendMouse(view, QEvent::MouseMove, QPointF(1040, 300));
    const double edgeX = view.cursorLine->pos().x();
    QVERIFY(view.readoutItem->pos().x() < edgeX - 10);
    const double textWidth
        = QFontMetricsF(view.readoutItem->font()).horizontalAdvance(view.readoutItem->text());
    QVERIFY(qAbs(view.readoutItem->pos().x() - (edgeX - textWidth - 10)) < 0.01);
}

void TestRampView::clickCyclesTheMotorsAndAsksForARedraw()
{
    RampView view;
    view.initScene();
    drawProfiles(view);
    // The ramp calculator answers every request with a full redraw.
    connect(&view, &RampView::newRampScene, &view, [&view] { drawProfiles(view); });
    QSignalSpy spy(&view, &RampView::newRampScene);

    QCOMPARE(view.currentMotor, 0);
    sendMouse(view, QEvent::MouseButtonPress, QPointF(400, 300));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(view.currentMotor, 1);
    QCOMPARE(view.noteItem->brush().color(), QColor(255, 0, 0));
    QCOMPARE(view.captionItem->brush().color(), QColor(255, 0, 0));
    // The read-out shows the new motor at once.
    QVERIFY(view.readoutItem->text() != QStringLiteral("Click to change the motor"));

    sendMouse(view, QEvent::MouseButtonPress, QPointF(400, 300));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(view.currentMotor, 0);
    QCOMPARE(view.noteItem->brush().color(), QColor(0, 0, 255));
}

void TestRampView::clickWithoutProfileDoesNothing()
{
    RampView view;
    view.initScene();
    view.clearScene();
    QSignalSpy spy(&view, &RampView::newRampScene);
    sendMouse(view, QEvent::MouseMove, QPointF(300, 300));
    sendMouse(view, QEvent::MouseButtonPress, QPointF(300, 300));
    QCOMPARE(spy.count(), 0);
    QCOMPARE(view.currentMotor, 0);
    QVERIFY(!view.pressedItem);
}

void TestRampView::releaseForgetsThePressedItem()
{
    RampView view;
    view.initScene();
    drawProfiles(view);
    sendMouse(view, QEvent::MouseButtonRelease, QPointF(10, 10));
    QVERIFY(!view.pressedItem);

    // Press on the frame's corner, where an item lies.
    sendMouse(view, QEvent::MouseButtonPress, QPointF(2, 300));
    QVERIFY(view.pressedItem);
    sendMouse(view, QEvent::MouseButtonRelease, QPointF(2, 300));
    QVERIFY(!view.pressedItem);
}

void TestRampView::leavingClearsCursorAndReadout()
{
    RampView view;
    view.initScene();
    drawProfiles(view);
    sendMouse(view, QEvent::MouseMove, QPointF(400, 300));
    QVERIFY(view.cursorLine->pos().x() > 300);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&view, &leave);
    QCOMPARE(view.cursorLine->pos(), QPointF(0, 0));
    QCOMPARE(view.readoutItem->text(), QString());

    // The next move shows both again.
    sendMouse(view, QEvent::MouseMove, QPointF(400, 300));
    QVERIFY(view.cursorLine->pos().x() > 300);
    QVERIFY(!view.readoutItem->text().isEmpty());
}

void TestRampView::rescalingFollowsTheViewportWidth()
{
    RampView view;
    view.initScene();
    view.viewport()->resize(525, 315);
    QVERIFY(QMetaObject::invokeMethod(&view, "adjustRampScene"));
    QCOMPARE(view.transform().m11(), 0.5);
    QCOMPARE(view.transform().m22(), 0.5);

    view.viewport()->resize(1050, 630);
    QVERIFY(QMetaObject::invokeMethod(&view, "adjustRampScene"));
    QCOMPARE(view.transform().m11(), 1.0);
    QCOMPARE(view.transform().m22(), 1.0);
}

void TestRampView::collapsedViewportKeepsTheScaling()
{
    RampView view;
    view.initScene();
    view.viewport()->resize(0, 315);
    QVERIFY(QMetaObject::invokeMethod(&view, "adjustRampScene"));
    QCOMPARE(view.transform().m11(), 1.0);
    view.viewport()->resize(525, 0);
    QVERIFY(QMetaObject::invokeMethod(&view, "adjustRampScene"));
    QCOMPARE(view.transform().m11(), 1.0);

    // Coming back from the collapse scales against the last real width, not against 0.
    view.viewport()->resize(525, 315);
    QVERIFY(QMetaObject::invokeMethod(&view, "adjustRampScene"));
    QCOMPARE(view.transform().m11(), 0.5);
    QVERIFY(qIsFinite(view.transform().m11()));
}

void TestRampView::resizeEventRescales()
{
    RampView view;
    view.initScene();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.resize(600, 400);
    QTRY_COMPARE(view.size(), QSize(600, 400));
    QCoreApplication::processEvents();
    QVERIFY(qAbs(view.transform().m11() - view.viewport()->width() / 1050.0) < 1e-9);
}

void TestRampView::redrawAfterAResizeFillsTheViewport_data()
{
    QTest::addColumn<QSize>("windowSize");
    // Beside the ramp boxes the graph gets about half of a small window, and more than the
    // 1050 pixels it was laid out for in a large one.
    QTest::newRow("1000x700") << QSize(1000, 700);
    QTest::newRow("1024x768") << QSize(1024, 768);
    QTest::newRow("1700x1000") << QSize(1700, 1000);
}

void TestRampView::redrawAfterAResizeFillsTheViewport()
{
    QFETCH(QSize, windowSize);
    RampInputs inputs;
    inputs.a1 = 2000;
    inputs.v1 = 100000;
    inputs.amax = 3000;
    inputs.vmax = 400000;
    inputs.dmax = 3000;
    inputs.d1 = 2000;
    inputs.vstop = 10;
    inputs.xtarget = 100000000;

    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    auto *boxes = new QWidget;
    boxes->setFixedWidth(480);
    layout->addWidget(boxes);
    auto *view = new RampView;
    layout->addWidget(view, 1);
    view->initScene();
    drawMotorRamp(*view, inputs);
    window.resize(windowSize);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.size(), windowSize);
    QCoreApplication::processEvents();
    QTRY_VERIFY(qAbs(view->transform().m11() - view->viewport()->width() / 1050.0) < 1e-9);
    const QRect viewport = view->viewport()->rect();

    // A new ramp is entered in the resized window.
    drawMotorRamp(*view, inputs);

    // Everything drawn lies within the viewport's width, nothing cut at the right edge, and the
    // frame, "VMAX" and the read-out's first place span it from edge to edge.
    QRectF drawn;
    const QGraphicsRectItem *frame = nullptr;
    const QList<QGraphicsItem *> items = view->scene()->items();
    for (const QGraphicsItem *item : items) {
        const QRectF placed = onScreen(*view, item);
        if (placed.isNull())
            continue;
        QVERIFY2(placed.right() <= viewport.width() + 1,
                 qPrintable(QStringLiteral("%1 > %2").arg(placed.right()).arg(viewport.width())));
        drawn |= placed;
        frame = frame ? frame : qgraphicsitem_cast<const QGraphicsRectItem *>(item);
    }
    QVERIFY(frame);
    const QRectF plot = onScreen(*view, frame);
    QVERIFY2(plot.width() >= 0.98 * viewport.width(),
             qPrintable(QStringLiteral("%1 of %2").arg(plot.width()).arg(viewport.width())));
    QVERIFY(drawn.left() <= 0.02 * viewport.width());
    QVERIFY(drawn.right() >= 0.98 * viewport.width());
    const QGraphicsSimpleTextItem *vmax = textItem(*view, QStringLiteral("VMAX"));
    QVERIFY(vmax);
    QVERIFY(onScreen(*view, vmax).left() <= 0.02 * viewport.width());
    QCOMPARE(view->readoutItem->text(), QStringLiteral("Click to change the motor"));
    QVERIFY(onScreen(*view, view->readoutItem).left() <= 0.02 * viewport.width());
    // The plot stands on the viewport's bottom edge.
    QVERIFY(qAbs(plot.bottom() - viewport.height()) <= 2);
}

void TestRampView::vmaxCaptionIsPlacedFromTheRealPixelSize_data()
{
    QTest::addColumn<QFont>("font");
    QTest::addColumn<double>("y");

    QFont twelvePixels;
    twelvePixels.setPixelSize(12);
    QFont sixteenPixels;
    sixteenPixels.setPixelSize(16);
    QFont twentyPixels;
    twentyPixels.setPixelSize(20);
    QTest::newRow("12 px") << twelvePixels << -40.0;
    QTest::newRow("16 px") << sixteenPixels << -20.0;
    QTest::newRow("20 px") << twentyPixels << -20.0;

    // A font sized in points is placed by its real pixel size, not by pixelSize() == -1.
    QFont points;
    points.setPointSizeF(9);
    const int realPixels = QFontInfo(points).pixelSize();
    QTest::newRow("9 pt") << points << -20.0 * (25 / realPixels);
}

void TestRampView::vmaxCaptionIsPlacedFromTheRealPixelSize()
{
    QFETCH(QFont, font);
    QFETCH(double, y);

    RampView view;
    view.setFont(font);
    view.initScene();
    view.clearScene();
    QGraphicsSimpleTextItem *vmax = textItem(view, QStringLiteral("VMAX"));
    QVERIFY(vmax);
    QCOMPARE(vmax->pos().y(), y);
    QVERIFY(vmax->pos().y() <= 0);
    QCOMPARE(vmax->brush().color(), QColor(255, 0, 255));

    // The factor is kept for the view's life.
    QFont other;
    other.setPixelSize(25);
    view.setFont(other);
    view.clearScene();
    QCOMPARE(textItem(view, QStringLiteral("VMAX"))->pos().y(), y);
}

void TestRampView::noteAndCaptionHavePlacesOfTheirOwnAtEveryScale_data()
{
    QTest::addColumn<int>("fontPixels");
    QTest::addColumn<int>("viewportWidth");
    QTest::newRow("12 px, full width") << 12 << 1050;
    QTest::newRow("12 px, narrow") << 12 << 300;
    QTest::newRow("20 px, narrow") << 20 << 300;
    QTest::newRow("20 px, as on a small screen") << 20 << 250;
}

void TestRampView::noteAndCaptionHavePlacesOfTheirOwnAtEveryScale()
{
    QFETCH(int, fontPixels);
    QFETCH(int, viewportWidth);
    RampView view;
    QFont font;
    font.setPixelSize(fontPixels);
    view.setFont(font);
    view.initScene();
    view.viewport()->resize(viewportWidth, viewportWidth * 630 / 1050);
    QVERIFY(QMetaObject::invokeMethod(&view, "adjustRampScene"));
    drawProfiles(view);
    view.noteItem->setText(QStringLiteral("assuming XACTUAL is zero"));
    view.captionItem->setText(QStringLiteral("Vmax not reached <1,080> Motor 1"));
    view.placeCaption(523, 629);

    const QRectF readout = onScreen(view, view.readoutItem);
    const QRectF note = onScreen(view, view.noteItem);
    const QRectF caption = onScreen(view, view.captionItem);
    const QRectF plot = view.mapFromScene(QRectF(0, 0, 1049, 629)).boundingRect();
    QVERIFY(!note.intersects(readout));
    QVERIFY(!note.intersects(caption));
    QVERIFY(plot.contains(caption) && plot.contains(note));
    QVERIFY(qAbs(caption.center().x() - view.mapFromScene(QPointF(523, 0)).x()) <= 1.5);
    // The texts keep a readable size on screen, a little larger than the view's own font.
    QVERIFY(readout.height() >= fontPixels);

    // Rescaled afterwards, they keep their places.
    view.viewport()->resize(viewportWidth / 2, viewportWidth * 315 / 1050);
    QVERIFY(QMetaObject::invokeMethod(&view, "adjustRampScene"));
    const QRectF smallerPlot = view.mapFromScene(QRectF(0, 0, 1049, 629)).boundingRect();
    QVERIFY(!onScreen(view, view.noteItem).intersects(onScreen(view, view.captionItem)));
    QVERIFY(smallerPlot.contains(onScreen(view, view.captionItem)));
    QVERIFY(smallerPlot.contains(onScreen(view, view.noteItem)));
    // The "VMAX" mark scales with the plot but stays as high as the form's text, and its foot
    // stays where it was.
    QGraphicsSimpleTextItem *vmax = textItem(view, QStringLiteral("VMAX"));
    QVERIFY(vmax);
    const QRectF mark = onScreen(view, vmax);
    QVERIFY2(mark.height() >= fontPixels, qPrintable(QString::number(mark.height())));
    QVERIFY(qAbs(vmax->mapToScene(vmax->boundingRect().bottomLeft()).y()
                 - (-20.0 * (25 / fontPixels) + vmax->boundingRect().height()))
            < 1e-6);
}

QTEST_MAIN(TestRampView)
#include "tst_rampview.moc"
