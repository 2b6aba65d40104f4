#include "foundation/regularfile.h"
#include "support/filesizelimit.h"
#include "support/modalcloser.h"
#include "support/testenvironment.h"
#include "views/baritem.h"
#include "views/graphitem.h"
#include "views/graphxyitem.h"
#include "views/htmltable.h"
#include "views/loadadaptscene.h"
#include "views/loadmeasurementexport.h"
#include "views/proxywidget.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsView>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <climits>
#include <cmath>
#include <optional>

namespace {

const QString cell = QStringLiteral("<td style=\"font-size:8pt; color:navy\">");
const QString tableOpening
    = QStringLiteral("<table><tr><td valign=middle><center><table><table width=\"100%\" border=0 "
                     "cellspacing=3 cellpadding=4         style=\"border-style: ridge; "
                     "border-color: cornflowerblue\">");
const QString tableClosing = QStringLiteral("</table></center></td></tr></table>");

QString row(const QStringList &cells)
{
    QString text = QStringLiteral("<tbody><tr>");
    for (const QString &content : cells)
        text += cell + content + QStringLiteral("</td>");
    return text + QStringLiteral("</tr></tbody>");
}

// A scene of the load graph's canvas size with one view, for the items alone.
struct Canvas
{
    Canvas()
    {
        scene.setSceneRect(0, -16, LoadAdaptScene::canvasWidth, LoadAdaptScene::canvasHeight);
        view.setScene(&scene);
    }
    // Paints the whole scene once and tells whether every item could be painted.
    void paint()
    {
        QImage image(512, 128, QImage::Format_ARGB32);
        QPainter painter(&image);
        scene.render(&painter);
    }
    QGraphicsScene scene;
    QGraphicsView view;
};

// The text items of a scene by brush colour, bottom row first.
QStringList labels(const QGraphicsScene &scene, Qt::GlobalColor colour)
{
    QList<QGraphicsSimpleTextItem *> found;
    for (QGraphicsItem *item : scene.items()) {
        auto *text = qgraphicsitem_cast<QGraphicsSimpleTextItem *>(item);
        if (text && text->brush().color() == QColor(colour))
            found << text;
    }
    std::sort(found.begin(), found.end(),
              [](auto *a, auto *b) { return a->pos().y() > b->pos().y(); });
    QStringList texts;
    for (QGraphicsSimpleTextItem *text : found)
        texts << text->text() + (text->opacity() < 1 ? QStringLiteral("~") : QString());
    return texts;
}

QStringList counting(int first, int step, int last)
{
    QStringList numbers;
    for (int n = first; n <= last; n += step)
        numbers << QString::number(n);
    return numbers;
}

} // namespace

class TestLoadGraph : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        isolateTestEnvironment();
        // As the program does at its start: a file that meets a size limit fails, not the process.
        RegularFile::ignoreFileSizeLimitSignal();
    }

    void helpTableMarkup_data();
    void helpTableMarkup();
    void longSingleColumnListsAreRegroupedInThrees_data();
    void longSingleColumnListsAreRegroupedInThrees();

    void timeGraphKeepsTheVisibleWidthAndFollowsItsData();
    void emptyAndSingleValueRangesDrawWithoutNaN();
    void velocityStoreAveragesAndCoarsensItsKeys();
    void velocityStoreStaysBoundedOverALongRunOfDistinctVelocities();
    void timeStoreKeepsTheLatestSamplesInOrder();
    void bandFillsTheRowsBetweenItsValues();

    void sceneScalesCycleThroughThreeZooms();
    void rebuildKeepsBandsAndRecordedSamples();
    void sampleLabelGroupsTheSignedVelocity();

    void exportsWriteTheirLayout();
    void twoExportsInOneSecondKeepBothFiles();
    void failedExportIsReportedAndLeavesNoFile();
    void contextMenuExportsReachTheDesktopOrABox_data();
    void contextMenuExportsReachTheDesktopOrABox();
};

void TestLoadGraph::helpTableMarkup_data()
{
    QTest::addColumn<int>("columns");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("rows");

    QTest::newRow("minus signs") << 2 << QStringList {"a-b", "c"} << row({"a&#x2212;b", "c"});
    QTest::newRow("one value is no row") << 2 << QStringList {"a"} << QString();
    QTest::newRow("empty list") << 2 << QStringList() << QString();
    QTest::newRow("third value dropped") << 2 << QStringList {"a", "b", "c"} << row({"a", "b"});
    QTest::newRow("missing cell keeps its placeholder")
        << 3 << QStringList {"a", "b"} << row({"a", "b", "%3"});
    QTest::newRow("one column, empty") << 1 << QStringList() << QString();
    QTest::newRow("one column") << 1 << QStringList {"x", "y"} << row({"x"}) + row({"y"});
}

void TestLoadGraph::helpTableMarkup()
{
    QFETCH(int, columns);
    QFETCH(QStringList, values);
    QFETCH(QString, rows);

    HtmlTable table(100, 0.0, columns);
    table.addValues(values);
    const QString once = table.endTable();
    QCOMPARE(once, tableOpening + rows + tableClosing);
    QCOMPARE(table.endTable(), once + tableClosing);

    HtmlTable headed(50, 1.5, columns);
    headed.heading(QStringLiteral("x-y"));
    QVERIFY(headed.endTable().contains(
        QStringLiteral(
            "width=\"50%\" border=1.5 cellspacing=3 cellpadding=4         style=\"border")
        + QStringLiteral("-style: ridge; border-color: cornflowerblue\"><p style=\"font-weight:")
        + QStringLiteral("bold; font-size:12pt; color:dodgerblue\">x-y<hr></p>")));
}

void TestLoadGraph::longSingleColumnListsAreRegroupedInThrees_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("tripleRows");
    QTest::addColumn<int>("lastRowCells");
    QTest::newRow("24") << 24 << 0 << 1;
    QTest::newRow("25") << 25 << 8 << 1;
    QTest::newRow("26") << 26 << 8 << 2;
    QTest::newRow("27") << 27 << 9 << 3;
}

void TestLoadGraph::longSingleColumnListsAreRegroupedInThrees()
{
    QFETCH(int, count);
    QFETCH(int, tripleRows);
    QFETCH(int, lastRowCells);

    QStringList values;
    for (int i = 0; i < count; ++i)
        values << QStringLiteral("-%1").arg(i);
    HtmlTable table(100, 0.0, 1);
    table.addValues(values);
    QString rows;
    if (tripleRows == 0) {
        for (const QString &value : values)
            rows += row({QString(value).replace("-", "&#x2212;")});
    } else {
        for (int i = 0; i < count; i += 3) {
            QStringList cells;
            for (int k = i; k < qMin(count, i + 3); ++k)
                cells << QStringLiteral("&#x2212;%1").arg(k);
            rows += row(cells);
        }
    }
    QCOMPARE(table.endTable(), tableOpening + rows + tableClosing);
    // The table keeps the template of its last row: three values make three cells unless that
    // row had two.
    table.addValues({"p", "q", "r"});
    QCOMPARE(table.endTable().count(QStringLiteral("<td style")),
             count + (lastRowCells == 2 ? 2 : 3));
}

void TestLoadGraph::timeGraphKeepsTheVisibleWidthAndFollowsItsData()
{
    Canvas canvas;
    const int margin = 48;
    auto *graph = new GraphItem(margin, Qt::red, 32, 0);
    canvas.scene.addItem(graph);
    for (int i = 0; i < 2048 - margin + 5; ++i)
        graph->addValue(i);
    QCOMPARE(graph->series().size(), 2048 - margin);
    QCOMPARE(graph->series().first(), 5);
    QCOMPARE(graph->series().last(), 2048 - margin + 4);

    auto *follower = new GraphItem(margin, Qt::blue, 0, 0);
    canvas.scene.addItem(follower);
    for (int value : {5, -3, 12})
        follower->addValue(value);
    QCOMPARE(follower->lowerValue(), -3);
    QCOMPARE(follower->upperValue(), 12);

    // With the range 0..32 on a canvas 256 high, 31 lies at y = 8 and 0 on the bottom line.
    const double step = loadgraph::valueStep(0, 32, 256);
    QCOMPARE(loadgraph::valueY(256, step, 31), 8.0);
    QCOMPARE(loadgraph::valueY(256, step, 0), 256.0);
    // The widest range of two ints does not overflow.
    QVERIFY(loadgraph::valueStep(-INT_MAX, INT_MAX, 256) > 0);
}

void TestLoadGraph::emptyAndSingleValueRangesDrawWithoutNaN()
{
    QCOMPARE(loadgraph::valueStep(7, 7, 256), 0.0);
    QCOMPARE(loadgraph::valueY(256, 0.0, 5000), 256.0);
    QVERIFY(std::isfinite(loadgraph::valueY(256, 1.0e30, INT_MAX)));

    Canvas canvas;
    auto *single = new GraphItem(48, Qt::red, 0, 0);
    canvas.scene.addItem(single);
    single->addValue(INT_MIN);
    single->addValue(INT_MIN);
    auto *zeros = new GraphItem(48, Qt::red, 0, 0);
    canvas.scene.addItem(zeros);
    zeros->addValue(0);
    VelocityMap velocities {{0, 5}, {8, 9}};
    TimeMap times;
    canvas.scene.addItem(new Graph_XY_Item(&times, &velocities, 48, Qt::blue, 0, 0));
    auto *band = new BarItem(1, 10, 15, 0, Qt::red);
    band->setUpperValue(5);
    canvas.scene.addItem(band);
    QVERIFY(band->band(256).isNull());
    // A view squeezed to nothing: painting still finds a finite left edge.
    canvas.view.resize(0, 0);
    canvas.paint();
    QVERIFY(std::isfinite(loadgraph::visibleLeftX(single)));
}

void TestLoadGraph::velocityStoreAveragesAndCoarsensItsKeys()
{
    VelocityMap velocities;
    TimeMap times;
    Graph_XY_Item item(&times, &velocities, 48, Qt::blue, 1024, 0);
    QSignalSpy keys(&item, &Graph_XY_Item::XY_MapCount);

    item.addValue(100, 1000);
    QCOMPARE(velocities.value(1000), 100);
    QCOMPARE(keys.size(), 1);
    QCOMPARE(keys.takeFirst().at(0).toInt(), 1);
    item.addValue(51, 1000);
    QCOMPARE(velocities.value(1000), 75);
    QVERIFY(keys.isEmpty());
    item.addValue(-3, 2000);
    item.addValue(0, 2000);
    QCOMPARE(velocities.value(2000), -1);

    velocities.clear();
    for (int v = 0; v < 1002; v += 2)
        item.addValue(1, v);
    QCOMPARE(velocities.size(), 501);
    QCOMPARE(item.mask(), 1);
    item.addValue(7, 1001);
    QVERIFY(!velocities.contains(1001));
    QCOMPARE(velocities.value(1000), 4);
    QCOMPARE(item.latestVelocityKey(), 1000);

    QSignalSpy counts(&item, &Graph_XY_Item::SDT_MapCount);
    QSignalSpy order(&item, &Graph_XY_Item::XY_MapCount);
    item.clearXY_Map();
    QVERIFY(velocities.isEmpty());
    QCOMPARE(item.mask(), 0);
    QCOMPARE(counts.size(), 1);
    QCOMPARE(order.size(), 1);
}

void TestLoadGraph::velocityStoreStaysBoundedOverALongRunOfDistinctVelocities()
{
    VelocityMap velocities;
    TimeMap times;
    Graph_XY_Item item(&times, &velocities, 48, Qt::blue, 1024, 0);
    qsizetype largest = 0;
    // A slow sweep over the whole velocity range and back, every velocity distinct.
    for (int v = 0; v <= 8388607; v += 37) {
        item.addValue(v & 1023, v);
        largest = qMax(largest, velocities.size());
    }
    for (int v = 8388606; v > 0; v -= 41)
        item.addValue(1, v);
    QVERIFY2(largest <= Graph_XY_Item::maximumKeys, qPrintable(QString::number(largest)));
    QVERIFY(velocities.size() > Graph_XY_Item::maximumKeys / 4);
    // Merged keys keep plausible values: all within what was stored.
    for (int value : std::as_const(velocities))
        QVERIFY(value >= 0 && value < 1024);
    // The velocity beyond every int magnitude still gives a key.
    item.addValue(3, INT_MAX);
    QVERIFY(velocities.lastKey() <= INT_MAX);
}

void TestLoadGraph::timeStoreKeepsTheLatestSamplesInOrder()
{
    VelocityMap velocities;
    TimeMap times;
    Graph_XY_Item item(&times, &velocities, 48, Qt::blue, 1024, 0);
    item.addValue(1, 10);
    QVERIFY(times.isEmpty());
    item.setSaveValues(true);
    QSignalSpy counts(&item, &Graph_XY_Item::SDT_MapCount);
    for (int i = 0; i < Graph_XY_Item::maximumTimes + 1; ++i)
        item.addValue(i, 10);
    QCOMPARE(times.size(), Graph_XY_Item::maximumTimes);
    QCOMPARE(counts.last().at(0).toInt(), Graph_XY_Item::maximumTimes);
    // Samples of one millisecond stay in the order they came, the oldest gone.
    QList<int> values = times.values();
    QCOMPARE(values.first(), 1);
    QCOMPARE(values.last(), Graph_XY_Item::maximumTimes);
    QVERIFY(std::is_sorted(values.begin(), values.end()));

    QSignalSpy keys(&item, &Graph_XY_Item::XY_MapCount);
    counts.clear();
    item.clearXY_Map();
    QVERIFY(times.isEmpty());
    QCOMPARE(counts.size(), 1);
    QCOMPARE(keys.size(), 1);
}

void TestLoadGraph::bandFillsTheRowsBetweenItsValues()
{
    Canvas canvas;
    auto *band = new BarItem(1, 100, 15, 32, Qt::red);
    canvas.scene.addItem(band);
    band->setLowerValue(15);
    band->setUpperValue(31);
    QCOMPARE(band->band(256), QRect(QPoint(100, 8), QPoint(113, 135)));
    int lower = 0;
    int upper = 0;
    band->getValues(lower, upper);
    QCOMPARE(lower, 15);
    QCOMPARE(upper, 31);
    // The hysteresis band: unit 32 over 1024, start 0 and width 15 give 0..16.
    auto *hysteresis = new BarItem(32, 0, 15, 1024, Qt::blue);
    hysteresis->setUpperValue(16);
    canvas.scene.addItem(hysteresis);
    QCOMPARE(hysteresis->band(256), QRect(0, 128, 14, 128));
    band->setLowerValue(31);
    QVERIFY(band->band(256).isNull());
}

void TestLoadGraph::sceneScalesCycleThroughThreeZooms()
{
    QGraphicsView view;
    view.setObjectName(QStringLiteral("ViewSW1"));
    LoadAdaptScene scene(&view, 32);
    QCOMPARE(scene.motorName(), QStringLiteral(" motor 1"));
    QCOMPARE(scene.chip(), QStringLiteral("KVN362"));

    QAction zoom;
    zoom.setObjectName(QStringLiteral("changeScope"));
    QVERIFY(connect(&zoom, SIGNAL(triggered(bool)), &scene, SLOT(btn_clicked(bool))));
    const auto topped = [](QStringList list) {
        list.last() += QLatin1Char('~');
        return list;
    };
    QCOMPARE(labels(scene, Qt::red), topped(counting(0, 2, 32)));
    QCOMPARE(labels(scene, Qt::blue), topped(counting(0, 64, 1024)));
    zoom.trigger();
    QCOMPARE(scene.zoomFactor(), 2);
    QCOMPARE(labels(scene, Qt::red), counting(0, 1, 16));
    QCOMPARE(labels(scene, Qt::blue), counting(0, 32, 512));
    zoom.trigger();
    QCOMPARE(labels(scene, Qt::red), counting(0, 1, 8));
    QCOMPARE(labels(scene, Qt::blue), counting(0, 16, 256));
    zoom.trigger();
    QCOMPARE(scene.zoomFactor(), 1);

    QGraphicsView plain;
    QCOMPARE(LoadAdaptScene(&plain, 32).motorName(), QString());
}

void TestLoadGraph::rebuildKeepsBandsAndRecordedSamples()
{
    QGraphicsView view;
    view.setObjectName(QStringLiteral("ViewSW2"));
    LoadAdaptScene scene(&view, 32);
    scene.currentBand->setLowerValue(7);
    scene.currentBand->setUpperValue(31);
    scene.hysteresisBand->setUpperValue(16);
    scene.velocityItem->setSaveValues(true);
    scene.addSample(300, 20, 5000);
    scene.addSample(310, 21, 6000);

    QAction front;
    front.setObjectName(QStringLiteral("dumpVelocityForeground"));
    QVERIFY(connect(&front, SIGNAL(triggered(bool)), &scene, SLOT(btn_clicked(bool))));
    front.setCheckable(true);
    front.trigger();
    QVERIFY(scene.velocityInFront());
    QCOMPARE(scene.currentBand->lowerValue(), 7);
    QCOMPARE(scene.currentBand->upperValue(), 31);
    QCOMPARE(scene.hysteresisBand->upperValue(), 16);
    QCOMPARE(scene.velocities().size(), 2);
    QCOMPARE(scene.times().size(), 2);
    QVERIFY(scene.velocityItem->savesValues());
    // The time graphs start again as rows of zeros.
    QCOMPARE(scene.currentGraph->series().last(), 0);
    QCOMPARE(scene.currentGraph->series().size(), 2048 - scene.scaleWidth());
    view.show();
    scene.addSample(1, 2, 3);
    QTRY_VERIFY(scene.valueWidget->label->text().contains(QStringLiteral("vs. velocity: 1<")));

    QAction history;
    history.setObjectName(QStringLiteral("ignoreViewWitdh"));
    QVERIFY(connect(&history, SIGNAL(triggered(bool)), &scene, SLOT(btn_clicked(bool))));
    history.setCheckable(true);
    history.trigger();
    QVERIFY(!view.horizontalScrollBar()->isHidden());
    QCOMPARE(view.horizontalScrollBar()->value(), view.horizontalScrollBar()->maximum());
    history.trigger();
    QVERIFY(view.horizontalScrollBar()->isHidden());
}

void TestLoadGraph::sampleLabelGroupsTheSignedVelocity()
{
    QGraphicsView view;
    LoadAdaptScene scene(&view, 32);
    scene.addSample(512, 16, -1500);
    // A hidden view does no work for its samples; shown, it catches up at once.
    QTest::qWait(3 * LoadAdaptScene::repaintIntervalMs);
    QVERIFY(scene.valueWidget->label->text().isEmpty());
    view.show();
    QCOMPARE(scene.valueWidget->label->text(),
             QStringLiteral("<div style='color: red; '> actual motor current vs. time: 16</div>"
                            "<div style='color: blue; '>strainWatch value vs. time: 512</div><br>"
                            "velocity: -1,500"));
    QCOMPARE(scene.velocities().value(1500), 512);
    QCOMPARE(scene.currentGraph->series().last(), 16);
    QCOMPARE(scene.loadGraph->series().last(), 512);
    // The most negative register value has a magnitude beyond int: it is kept at the top.
    scene.addSample(1, 1, INT_MIN);
    QTRY_VERIFY(scene.valueWidget->label->text().endsWith(QStringLiteral("-2,147,483,648")));
    QCOMPARE(scene.velocityItem->latestVelocityKey() & ~7, INT_MAX & ~7);
    // The label keeps its size between samples, but makes room for a larger font.
    QLabel *label = scene.valueWidget->label;
    QFont larger = label->font();
    larger.setPointSizeF(larger.pointSizeF() * 3);
    label->setFont(larger);
    QTRY_VERIFY(label->width() >= label->sizeHint().width()
                && label->height() >= label->sizeHint().height());
}

void TestLoadGraph::exportsWriteTheirLayout()
{
    QTemporaryDir directory;
    LoadMeasurementExport writer(QStringLiteral(" motor 2"), QStringLiteral("KVN362"));
    writer.setDirectory(directory.path());
    const QDateTime noon(QDate(2026, 3, 1), QTime(12, 0, 0, 5));
    TimeMap times;
    times.insert(times.cend(), noon, 7);
    times.insert(times.cend(), noon, 8);
    times.insert(times.cend(), noon.addDays(1), 9);
    VelocityMap velocities {{1500, 300}, {8, 12}};
    const QRegularExpression title(
        QStringLiteral(
            "^ motor 2;KVN362exported data from%1;\\d\\d:\\d\\d:\\d\\d  \\d{4}-[A-Z][a-z]+-\\d\\d$")
            .arg(QCoreApplication::applicationName()));

    struct Case
    {
        LoadMeasurementExport::Result result;
        QString prefix;
        QStringList lines;
    };
    const Case cases[] = {
        {writer.writeTime(times),
         "SWVvsTime_",
         {"", "Time;SWV", "12:00:00.005;7", "12:00:00.005;8", "12:00:00.005;9"}},
        {writer.writeVelocity(velocities),
         "SWVvsVelocity_",
         {"", "Velocity;SWV", "8;12", "1500;300"}},
        {writer.writeVelocity({}), "SWVvsVelocity_", {"", "Velocity;SWV"}},
    };
    for (const Case &c : cases) {
        QVERIFY2(c.result.written, qPrintable(c.result.error));
        const QFileInfo info(c.result.fileName);
        QCOMPARE(info.absolutePath(), QDir(directory.path()).absolutePath());
        QVERIFY(
            QRegularExpression(QStringLiteral("^%1\\d{4}_\\d\\d_\\d\\d_\\d\\d-\\d\\d-\\d\\d(_\\d+)?"
                                              "\\.csv$")
                                   .arg(c.prefix))
                .match(info.fileName())
                .hasMatch());
        QFile file(c.result.fileName);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        QVERIFY(!content.contains('\r'));
        QVERIFY(content.endsWith('\n'));
        QStringList lines = QString::fromUtf8(content).split(QLatin1Char('\n'));
        lines.removeLast();
        QVERIFY2(title.match(lines.takeFirst()).hasMatch(), content.constData());
        QCOMPARE(lines, c.lines);
    }
}

void TestLoadGraph::twoExportsInOneSecondKeepBothFiles()
{
    QTemporaryDir directory;
    LoadMeasurementExport writer(QString(), QStringLiteral("KVN362"));
    writer.setDirectory(directory.path());
    QStringList names;
    for (int value : {1, 2, 3}) {
        const auto result = writer.writeVelocity({{10, value}});
        QVERIFY(result.written);
        names << result.fileName;
    }
    // Even across a second boundary the three names differ and each file keeps its own value.
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 3);
    for (int i = 0; i < 3; ++i) {
        QFile file(names.at(i));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().endsWith(QStringLiteral("10;%1\n").arg(i + 1).toUtf8()));
    }
    // A title line of a view without digits begins with the separator.
    QFile first(names.first());
    QVERIFY(first.open(QIODevice::ReadOnly));
    QVERIFY(first.readLine().startsWith(";KVN362exported data from"));
}

void TestLoadGraph::failedExportIsReportedAndLeavesNoFile()
{
    LoadMeasurementExport writer(QStringLiteral(" motor 1"), QStringLiteral("KVN362"));
    QTemporaryDir directory;
    writer.setDirectory(directory.filePath(QStringLiteral("missing")));
    const auto unopened = writer.writeTime({});
    QVERIFY(!unopened.written);
    QVERIFY(!unopened.error.isEmpty());
    QVERIFY(!QFileInfo::exists(unopened.fileName));

    // A file that cannot grow beyond a few bytes: the open succeeds, the write fails.
    writer.setDirectory(directory.path());
    VelocityMap many;
    for (int v = 0; v < 100; ++v)
        many.insert(v, v);
    LoadMeasurementExport::Result cut;
    {
        const FileSizeLimit limit(64);
        QVERIFY(limit.isSet());
        cut = writer.writeVelocity(many);
    }
    QVERIFY(!cut.written);
    QVERIFY(!cut.error.isEmpty());
    QVERIFY(!QFileInfo::exists(cut.fileName));
}

void TestLoadGraph::contextMenuExportsReachTheDesktopOrABox_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("prefix"); // of the file name
    QTest::addColumn<bool>("desktopOpens");
    QTest::addColumn<bool>("homeExists");
    QTest::addColumn<int>("room"); // bytes a file may grow to; 0: no limit

    QTest::newRow("velocity, opened by the desktop") << "Export load vs. velocity"
                                                     << "/SWVvsVelocity_" << true << true << 0;
    QTest::newRow("time, opened by the desktop") << "Export load vs. time"
                                                 << "/SWVvsTime_" << true << true << 0;
    QTest::newRow("velocity, no desktop program: the box names the file")
        << "Export load vs. velocity"
        << "/SWVvsVelocity_" << false << true << 0;
    QTest::newRow("time, no desktop program: the box names the file")
        << "Export load vs. time"
        << "/SWVvsTime_" << false << true << 0;
    QTest::newRow("velocity, not written: the box says why")
        << "Export load vs. velocity"
        << "/SWVvsVelocity_" << false << false << 0;
    QTest::newRow("time, not written: the box says why") << "Export load vs. time"
                                                         << "/SWVvsTime_" << false << false << 0;
    QTest::newRow("velocity, disk full: the box says why, no file is left")
        << "Export load vs. velocity"
        << "/SWVvsVelocity_" << false << true << 16;
}

// Through the graph's own menu as a user does, twice: the box of the first export must not run
// inside the menu's handler, or the second right-click works on a menu already freed.
void TestLoadGraph::contextMenuExportsReachTheDesktopOrABox()
{
    QFETCH(QString, action);
    QFETCH(QString, prefix);
    QFETCH(bool, desktopOpens);
    QFETCH(bool, homeExists);
    QFETCH(int, room);
    QTemporaryDir directory;
    const QString home = homeExists ? directory.path() : directory.filePath("gone");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home));
    QGraphicsView view;
    view.setObjectName(QStringLiteral("ViewSW1"));
    auto *scene = new LoadAdaptScene(&view, 32);
    QStringList opened;
    scene->setFileOpener([&opened, desktopOpens](const QUrl &url) {
        opened << url.toLocalFile();
        return desktopOpens;
    });
    scene->addSample(400, 20, -1000);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    ModalCloser boxes;

    for (int round = 1; round <= 2; ++round) {
        // Through the window, as the window system delivers it: the right button's press or
        // release becomes the context menu event there.
        const QPoint inView = view.viewport()->mapTo(&view, view.viewport()->rect().center());
        QTest::mouseClick(view.windowHandle(), Qt::RightButton, {}, inView);
        QMenu *menu = nullptr;
        QTRY_VERIFY((menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())));
        QAction *chosen = nullptr;
        for (QAction *candidate : menu->actions()) {
            if (candidate->text() == action)
                chosen = candidate;
        }
        QVERIFY(chosen);
        std::optional<FileSizeLimit> full;
        if (room > 0)
            full.emplace(rlim_t(room));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(chosen).center());
        // Each export ends in the desktop or in one answered box, never both, never nothing.
        QTRY_COMPARE_WITH_TIMEOUT(opened.size() * int(desktopOpens) + boxes.titles.size(), round,
                                  30000);
        QVERIFY(!QApplication::activePopupWidget());
        full.reset();
    }
    qputenv("HOME", oldHome);

    const bool written = homeExists && room == 0;
    QCOMPARE(opened.size(), written ? 2 : 0);
    QCOMPARE(QDir(directory.path()).isEmpty(), !written);
    for (const QString &file : std::as_const(opened)) {
        QVERIFY(file.startsWith(home + prefix));
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray text = written.readAll();
        QVERIFY(text.endsWith(prefix == QLatin1String("/SWVvsTime_")
                                  ? QByteArray("Time;SWV\n")
                                  : QByteArray("Velocity;SWV\n1000;400\n")));
    }
    const QStringList expectedTitles = desktopOpens ? QStringList() : QStringList(2, "Export to");
    QCOMPARE(boxes.titles, expectedTitles);
    for (int i = 0; i < boxes.texts.size(); ++i) {
        QCOMPARE(boxes.formats.at(i), Qt::PlainText);
        if (written)
            QCOMPARE(boxes.texts.at(i), opened.at(i));
        else
            QVERIFY2(boxes.texts.at(i).contains(" could not be written: "),
                     qPrintable(boxes.texts.at(i)));
    }
    delete scene;
}

QTEST_MAIN(TestLoadGraph)
#include "tst_loadgraph.moc"
