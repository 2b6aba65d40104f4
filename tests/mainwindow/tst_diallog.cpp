#include "mainwindow/diallog.h"

#include "testenvironment.h"

#include <QDial>
#include <QLabel>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

class TestDialLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void freshWidgetShowsZeroAtTheBottomAndIsSilent();
    void dialTurnSetsLinearValueAndSettlesOnItsPosition_data();
    void dialTurnSetsLinearValueAndSettlesOnItsPosition();
    void spinBoxValueMovesTheDial_data();
    void spinBoxValueMovesTheDial();
    void zeroHasNoLogarithmAndSitsOnPositionOne();
    void turnBetweenPositionsOfTheSameValueEmitsOnce();
    void hugePositionsDoNotOverflow();
};

void TestDialLog::freshWidgetShowsZeroAtTheBottomAndIsSilent()
{
    DialLog dialLog;
    QCOMPARE(dialLog.spinBox->value(), 0);
    QCOMPARE(dialLog.spinBox->maximum(), 8388096);
    QCOMPARE(dialLog.dial->value(), 1);
    QCOMPARE(dialLog.dial->minimum(), 1);
    QCOMPARE(dialLog.dial->notchTarget(), 33.7);
    QVERIFY(dialLog.dial->notchesVisible());
    QVERIFY(!dialLog.dial->wrapping());
    QCOMPARE(dialLog.label->textFormat(), Qt::PlainText);
    QCOMPARE(dialLog.dial->objectName(), QStringLiteral("dial"));
    QCOMPARE(dialLog.label->objectName(), QStringLiteral("label"));
    QCOMPARE(dialLog.spinBox->objectName(), QStringLiteral("spinBox"));
}

void TestDialLog::dialTurnSetsLinearValueAndSettlesOnItsPosition_data()
{
    QTest::addColumn<int>("dialMaximum");
    QTest::addColumn<int>("spinMaximum");
    QTest::addColumn<int>("turnedTo");
    QTest::addColumn<int>("linear");
    QTest::addColumn<int>("settledOn");
    QTest::addColumn<int>("emissions");

    // Start at the dial's bottom with the spin box at 0: a changed value runs the slot twice.
    QTest::newRow("2 gives 1, back to 1") << 99 << 8388096 << 2 << 1 << 1 << 2;
    QTest::newRow("4 gives 2, back to 3") << 99 << 8388096 << 4 << 2 << 3 << 2;
    QTest::newRow("10 gives 9") << 99 << 8388096 << 10 << 9 << 10 << 2;
    QTest::newRow("20 gives 99") << 99 << 8388096 << 20 << 99 << 20 << 2;
    QTest::newRow("40 gives 9999") << 99 << 8388096 << 40 << 9999 << 40 << 2;
    QTest::newRow("48 gives 63095") << 99 << 8388096 << 48 << 63095 << 48 << 2;
    QTest::newRow("60 gives 999999") << 99 << 8388096 << 60 << 999999 << 60 << 2;
    QTest::newRow("velocity top clamps") << 70 << 8388096 << 70 << 8388096 << 69 << 2;
    QTest::newRow("acceleration top clamps") << 49 << 65535 << 49 << 65535 << 48 << 2;
}

void TestDialLog::dialTurnSetsLinearValueAndSettlesOnItsPosition()
{
    QFETCH(int, dialMaximum);
    QFETCH(int, spinMaximum);
    QFETCH(int, turnedTo);
    QFETCH(int, linear);
    QFETCH(int, settledOn);
    QFETCH(int, emissions);

    DialLog dialLog;
    dialLog.dial->setMaximum(dialMaximum);
    dialLog.spinBox->setMaximum(spinMaximum);
    QSignalSpy spy(&dialLog, &DialLog::valueChanged);
    dialLog.dial->setValue(turnedTo);

    QCOMPARE(dialLog.spinBox->value(), linear);
    QCOMPARE(dialLog.dial->value(), settledOn);
    QCOMPARE(spy.count(), emissions);
    for (const QList<QVariant> &emission : std::as_const(spy))
        QCOMPARE(emission.at(0).toInt(), linear);
}

void TestDialLog::spinBoxValueMovesTheDial_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("position");

    QTest::newRow("1") << 1 << 1;
    QTest::newRow("2") << 2 << 3;
    QTest::newRow("10") << 10 << 10;
    QTest::newRow("100") << 100 << 20;
    QTest::newRow("1000") << 1000 << 30;
    QTest::newRow("65535") << 65535 << 48;
    QTest::newRow("8388096") << 8388096 << 69;
}

void TestDialLog::spinBoxValueMovesTheDial()
{
    QFETCH(int, value);
    QFETCH(int, position);

    DialLog dialLog;
    dialLog.dial->setMaximum(70);
    QSignalSpy spy(&dialLog, &DialLog::valueChanged);
    dialLog.spinBox->setValue(value);

    QCOMPARE(dialLog.dial->value(), position);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(0).toInt(), value);
}

void TestDialLog::zeroHasNoLogarithmAndSitsOnPositionOne()
{
    QCOMPARE(DialLog::dialPosition(0), 1);
    QCOMPARE(DialLog::dialPosition(-5), 1);

    DialLog dialLog;
    dialLog.dial->setMaximum(70);
    dialLog.spinBox->setValue(100);
    QSignalSpy spy(&dialLog, &DialLog::valueChanged);
    dialLog.spinBox->setValue(0);
    QCOMPARE(dialLog.dial->value(), 1);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(0).toInt(), 0);
}

void TestDialLog::turnBetweenPositionsOfTheSameValueEmitsOnce()
{
    DialLog dialLog;
    dialLog.dial->setMaximum(70);
    dialLog.dial->setValue(2);
    QCOMPARE(dialLog.spinBox->value(), 1);
    QCOMPARE(dialLog.dial->value(), 1);

    dialLog.dial->setValue(3);
    QSignalSpy spy(&dialLog, &DialLog::valueChanged);
    dialLog.dial->setValue(2);
    // 2 and 3 both give 1: the spin box keeps its value, the dial stays where it was turned.
    QCOMPARE(dialLog.spinBox->value(), 1);
    QCOMPARE(dialLog.dial->value(), 2);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(0).toInt(), 1);
}

void TestDialLog::hugePositionsDoNotOverflow()
{
    QCOMPARE(DialLog::linearValue(1), 0);
    QCOMPARE(DialLog::linearValue(200), 2147483647);

    DialLog dialLog;
    dialLog.dial->setMaximum(200);
    dialLog.dial->setValue(200);
    QCOMPARE(dialLog.spinBox->value(), 8388096);
    QCOMPARE(dialLog.dial->value(), 69);
}

QTEST_MAIN(TestDialLog)
#include "tst_diallog.moc"
