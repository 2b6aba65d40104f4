#include "windowonboard.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>

using boardsim::Chip;

// The paceHold dialog on a board: each field lands in its bits on top of what the chip held, the
// flag buttons switch both flags, and the dialog stays off on the chip without paceHold.
class TestPaceHold : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void fieldWritesExactlyItsBits_data();
    void fieldWritesExactlyItsBits();
    void flagButtonsSwitchBothFlagsOnTheLastWord();
    void registerTableAnnouncementIsShownAndBuiltOn();
    void failedReadBuildsNoWrite();
    void controlsStayOffOnTheChipWithoutPaceHold();

private:
    QSpinBox *spin(const char *name, int motor) const
    {
        return WindowOnBoard::child<QSpinBox>(*dialog, WindowOnBoard::named(name, motor));
    }
    QPushButton *button(const char *name, int motor) const
    {
        return WindowOnBoard::child<QPushButton>(*dialog, WindowOnBoard::named(name, motor));
    }

    WindowOnBoard on;
    const PaceHold *dialog = nullptr;
};

void TestPaceHold::initTestCase()
{
    QVERIFY(WindowOnBoard::prepare());
    QVERIFY(on.open(Chip::Kvn3162));
    dialog = &on.dialogs().paceHold;
    on.dialogUnderTest = const_cast<PaceHold *>(dialog);
}

void TestPaceHold::init()
{
    QVERIFY(on.waitUntilConnected());
}

void TestPaceHold::cleanupTestCase()
{
    on.close();
}

void TestPaceHold::fieldWritesExactlyItsBits_data()
{
    QTest::addColumn<int>("motor");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("address");
    QTest::addColumn<quint32>("base");
    QTest::addColumn<int>("value");
    QTest::addColumn<quint32>("written");

    struct Row
    {
        const char *name;
        const char *control;
        int address; // motor 1
        quint32 base;
        int value;
        quint32 written;
    };
    const Row rows[] = {
        {"VPHMIN 0", "EditVPhMin", 0x33, 1234, 0, 0},
        {"VPHMIN largest", "EditVPhMin", 0x33, 1234, 8388607, 8388607},
        {"PH_TIME 0 keeps bits 8-31", "EditPhTime", 0x6E, 0xABCD1234, 0, 0xABCD1200},
        {"PH_TIME 255", "EditPhTime", 0x6E, 0xABCD1234, 255, 0xABCD12FF},
        {"PH_SW 0", "EditPhSw", 0x6E, 0xABCD1234, 0, 0xABCD0034},
        {"PH_SW 255", "EditPhSw", 0x6E, 0xABCD1234, 255, 0xABCDFF34},
        {"PH_SW of a negative word", "EditPhSw", 0x6E, 0xFFFF80FF, 127, 0xFFFF7FFF},
        {"TOFF 0 keeps the chopper word", "EditTOff", 0x6C, 0xBF0D5A37, 0, 0xBF0D5A30},
        {"TOFF 15", "EditTOff", 0x6C, 0xBF0D5A37, 15, 0xBF0D5A3F},
    };
    for (int motor = 0; motor < 2; ++motor) {
        for (const Row &row : rows) {
            const int address = row.address + (row.address >= 0x60 ? 0x10 : 0x20) * motor;
            QTest::addRow("motor %d %s", motor + 1, row.name)
                << motor << QString::fromLatin1(row.control) << address << row.base << row.value
                << row.written;
        }
    }
}

void TestPaceHold::fieldWritesExactlyItsBits()
{
    QFETCH(int, motor);
    QFETCH(QString, control);
    QFETCH(int, address);
    QFETCH(quint32, base);
    QFETCH(int, value);
    QFETCH(quint32, written);

    LINKED_VERIFY(on, on.putAndInit(quint8(address), base));
    auto *box = WindowOnBoard::child<QSpinBox>(*dialog, control + QString::number(motor + 1));
    LINKED_VERIFY(on, box->isEnabled());
    box->setValue(value);
    LINKED_COMPARE(on, on.board->writeLog(), WindowOnBoard::Writes({{quint8(address), written}}));

    LINKED_VERIFY(on, on.putAndInit(quint8(address), 0x5555));
    LINKED_VERIFY(on, on.putAndInit(quint8(address), written));
    LINKED_COMPARE(on, box->value(), value);
}

void TestPaceHold::flagButtonsSwitchBothFlagsOnTheLastWord()
{
    for (int motor = 0; motor < 2; ++motor) {
        const quint8 address = motor == 0 ? 0x6C : 0x7C;
        LINKED_VERIFY(on, on.putAndInit(address, 0x80012003));
        button("BtnEnable", motor)->click();
        button("BtnEnable", motor)->click();
        button("BtnDisable", motor)->click();
        LINKED_COMPARE(on, on.board->writeLog(),
                       WindowOnBoard::Writes(
                           {{address, 0x800D2003}, {address, 0x800D2003}, {address, 0x80012003}}));
        LINKED_COMPARE(on, spin("EditTOff", motor)->value(), 3);
    }
}

void TestPaceHold::registerTableAnnouncementIsShownAndBuiltOn()
{
    LINKED_VERIFY(on, on.putAndInit(0x6E, 0));
    auto &table = const_cast<Registers &>(on.dialogs().registers);
    Q_EMIT table.DoWriteRegister(0x6E, 0x00123456);
    LINKED_COMPARE(on, spin("EditPhTime", 0)->value(), 0x56);
    LINKED_COMPARE(on, spin("EditPhSw", 0)->value(), 0x34);
    on.board->clearWriteLog();
    spin("EditPhTime", 0)->setValue(7);
    LINKED_COMPARE(on, on.board->writeLog(), WindowOnBoard::Writes({{0x6E, 0x00123407}}));
}

void TestPaceHold::failedReadBuildsNoWrite()
{
    // A read that brings nothing leaves the fields and copies as the chip last had them.
    LINKED_VERIFY(on, on.putAndInit(0x7E, 0x00AB1234));
    LINKED_VERIFY(on, on.putAndInit(0x7C, 0x00010005));
    on.board->setRegisterValue(0x7E, 0);
    on.board->setRegisterValue(0x7C, 0);
    on.board->setUnknownCommandStatus(true);
    const_cast<PaceHold *>(dialog)->OnInitAllValues();
    on.board->setUnknownCommandStatus(false);
    LINKED_COMPARE(on, spin("EditPhTime", 1)->value(), 0x34);
    LINKED_COMPARE(on, spin("EditTOff", 1)->value(), 5);
    spin("EditPhSw", 1)->setValue(0x56);
    button("BtnEnable", 1)->click();
    LINKED_COMPARE(on, on.board->writeLog(),
                   WindowOnBoard::Writes({{0x7E, 0x00AB5634}, {0x7C, 0x000D0005}}));

    // A dialog that never read its registers writes nothing on top of them.
    PaceHold unread;
    QSignalSpy writes(&unread, &ChipDialog::DoWriteRegister);
    unread.OnEnableAll(true);
    WindowOnBoard::child<QPushButton>(unread, "BtnEnable1")->click();
    WindowOnBoard::child<QSpinBox>(unread, "EditTOff2")->setValue(4);
    WindowOnBoard::child<QSpinBox>(unread, "EditPhTime1")->setValue(4);
    LINKED_VERIFY(on, writes.isEmpty());
}

void TestPaceHold::controlsStayOffOnTheChipWithoutPaceHold()
{
    LINKED_VERIFY(on, on.open(Chip::Kvn3141));
    dialog = &on.dialogs().paceHold;
    const QList<QWidget *> controls = dialog->findChildren<QWidget *>();
    int registerControls = 0;
    for (QWidget *control : controls) {
        if (qobject_cast<QSpinBox *>(control) || qobject_cast<QPushButton *>(control)) {
            ++registerControls;
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
        }
    }
    LINKED_COMPARE(on, registerControls, 12);
    // So are the encoder's.
    LINKED_VERIFY(
        on, !WindowOnBoard::child<QWidget>(on.dialogs().encoder, "EditIntPart1")->isEnabled());
    LINKED_VERIFY(
        on, !WindowOnBoard::child<QWidget>(on.dialogs().encoder, "BtnReadClear2")->isEnabled());
}

QTEST_MAIN(TestPaceHold)
#include "tst_pacehold.moc"
