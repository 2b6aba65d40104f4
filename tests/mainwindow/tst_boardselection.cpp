#include "mainwindow/boardselection.h"

#include "foundation/constants.h"
#include "testenvironment.h"

#include <QTest>

namespace {

const QString board3162 = QStringLiteral("VID_1209&PID_B162");
const QString board3141 = QStringLiteral("VID_1209&PID_B141");
const QString board31xx = QStringLiteral("VID_1209&PID_B100");
const QString boardDebug = QStringLiteral("VID_1209&PID_B1DB");
const QString foreignBoard = QStringLiteral("VID_2341&PID_0043");

// A device map as the device console reports it: one hardware id per USB serial device, in the
// order of the ports; the query keeps the accepted ones, duplicates included.
struct FakeDeviceMap
{
    QStringList ids;
    QList<QStringList> queries;

    QStringList usbDeviceMap(const QStringList &accepted)
    {
        queries << accepted;
        QStringList result;
        for (const QString &id : std::as_const(ids)) {
            if (accepted.contains(id))
                result << id;
        }
        return result;
    }
};

// The table of supported boards knows three of our four boards.
QString boardName(const QString &id)
{
    if (id == board3162)
        return QStringLiteral("KVN3162-EVAL");
    if (id == board3141)
        return QStringLiteral("KVN3141-EVAL");
    if (id == board31xx)
        return QStringLiteral("KVN31xx-EVAL");
    return QString();
}

} // namespace

class TestBoardSelection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void acceptedIdsComeInOrder();
    void decisionTable_data();
    void decisionTable();
    void chooserListsTheBoardsByName();
    void chooserShowsTheIdOfAnUnknownBoard();
};

void TestBoardSelection::acceptedIdsComeInOrder()
{
    QCOMPARE(BoardSelector::acceptedBoardIds(),
             (QStringList {standardBoardId, board3141, board31xx}));
    QCOMPARE(standardBoardId, board3162);
    QCOMPARE(BoardSelector::debugBoardId(), boardDebug);
}

void TestBoardSelection::decisionTable_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("storedModule");
    QTest::addColumn<bool>("remember");
    QTest::addColumn<int>("choice"); // what the user picks; 0 means the chooser must not open
    QTest::addColumn<int>("road");
    QTest::addColumn<QString>("moduleId");
    QTest::addColumn<bool>("store");

    const int none = int(BoardSelector::Road::NoBoard);
    const int one = int(BoardSelector::Road::OneBoard);
    const int several = int(BoardSelector::Road::SeveralBoards);
    const QStringList plain {QStringLiteral("kvn31xx-eval")};
    const QStringList debug {QStringLiteral("kvn31xx-eval"), QStringLiteral("-debug")};

    QTest::newRow("no board") << QStringList() << plain << QString() << false << 0 << none
                              << QString() << false;
    QTest::newRow("a foreign device only") << QStringList {foreignBoard} << plain << QString()
                                           << false << 0 << none << QString() << false;
    QTest::newRow("one board") << QStringList {board3141} << plain << QString() << false << 0 << one
                               << board3141 << false;
    QTest::newRow("two boards of one type") << QStringList {board3162, board3162} << plain
                                            << QString() << false << 0 << one << board3162 << false;
    QTest::newRow("debug board without -debug") << QStringList {boardDebug} << plain << QString()
                                                << false << 0 << none << QString() << false;
    QTest::newRow("debug board with -debug") << QStringList {boardDebug} << debug << QString()
                                             << false << 0 << one << boardDebug << false;
    QTest::newRow("-Debug does not count")
        << QStringList {boardDebug} << QStringList {QStringLiteral("-Debug")} << QString() << false
        << 0 << none << QString() << false;
    QTest::newRow("--debug does not count")
        << QStringList {boardDebug} << QStringList {QStringLiteral("--debug")} << QString() << false
        << 0 << none << QString() << false;
    QTest::newRow("several, the second chosen")
        << QStringList {board3141, board3162} << plain << QString() << false << 2 << several
        << board3162 << true;
    QTest::newRow("several, the chooser closed")
        << QStringList {board3141, board3162} << plain << QString() << false << -1 << several
        << standardBoardId << false;
    QTest::newRow("several, remembered and Remember on")
        << QStringList {board3141, board3162} << plain << board31xx << true << 0 << several
        << board31xx << false;
    QTest::newRow("several, remembered but Remember off")
        << QStringList {board3141, board3162} << plain << board31xx << false << 1 << several
        << board3141 << true;
    QTest::newRow("several, Remember on but nothing stored")
        << QStringList {board3141, board3162} << plain << QString() << true << 1 << several
        << board3141 << true;
    QTest::newRow("several with the debug board")
        << QStringList {board3162, boardDebug} << debug << QString() << false << 2 << several
        << boardDebug << true;
}

void TestBoardSelection::decisionTable()
{
    QFETCH(QStringList, present);
    QFETCH(QStringList, arguments);
    QFETCH(QString, storedModule);
    QFETCH(bool, remember);
    QFETCH(int, choice);
    QFETCH(int, road);
    QFETCH(QString, moduleId);
    QFETCH(bool, store);

    FakeDeviceMap deviceMap {present, {}};
    int chooserRuns = 0;
    const BoardSelector selector(
        [&deviceMap](const QStringList &accepted) { return deviceMap.usbDeviceMap(accepted); },
        &boardName,
        [&](const QStringList &) {
            ++chooserRuns;
            return choice;
        });
    const BoardSelector::Decision decision = selector.decide(arguments, storedModule, remember);

    QCOMPARE(int(decision.road), road);
    QCOMPARE(decision.moduleId, moduleId);
    QCOMPARE(decision.storeModule, store);
    QCOMPARE(chooserRuns, choice == 0 ? 0 : 1);
    // The development board is asked for on its own, and only with "-debug".
    const bool debugAsked = deviceMap.queries.contains(QStringList {boardDebug});
    QCOMPARE(debugAsked, arguments.contains(QStringLiteral("-debug")));
    QCOMPARE(deviceMap.queries.first(), BoardSelector::acceptedBoardIds());
}

void TestBoardSelection::chooserListsTheBoardsByName()
{
    FakeDeviceMap deviceMap {{board3141, board3162, board3141}, {}};
    QStringList shown;
    const BoardSelector selector(
        [&deviceMap](const QStringList &accepted) { return deviceMap.usbDeviceMap(accepted); },
        &boardName,
        [&shown](const QStringList &names) {
            shown = names;
            return 1;
        });
    const BoardSelector::Decision decision = selector.decide({}, QString(), false);
    QCOMPARE(decision.found, (QStringList {board3141, board3162}));
    QCOMPARE(shown, (QStringList {QStringLiteral("KVN3141-EVAL"), QStringLiteral("KVN3162-EVAL")}));
    QCOMPARE(decision.moduleId, board3141);
}

void TestBoardSelection::chooserShowsTheIdOfAnUnknownBoard()
{
    FakeDeviceMap deviceMap {{board3162, boardDebug}, {}};
    QStringList shown;
    const BoardSelector selector(
        [&deviceMap](const QStringList &accepted) { return deviceMap.usbDeviceMap(accepted); },
        &boardName,
        [&shown](const QStringList &names) {
            shown = names;
            return -1;
        });
    selector.decide({QStringLiteral("-debug")}, QString(), false);
    QCOMPARE(shown, (QStringList {QStringLiteral("KVN3162-EVAL"), boardDebug}));

    // Without a table at all every entry is its id.
    const BoardSelector bare(
        [&deviceMap](const QStringList &accepted) { return deviceMap.usbDeviceMap(accepted); }, {},
        {});
    QCOMPARE(bare.chooserEntries({board3141}), QStringList {board3141});
}

QTEST_MAIN(TestBoardSelection)
#include "tst_boardselection.moc"
