#include "windowonboard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

using boardsim::Chip;

namespace {

constexpr quint8 chopConf[2] = {0x6C, 0x7C};
constexpr quint8 highVelocity[2] = {0x32, 0x52};

// A word with every shown field away from its ends and every unshown bit set: TOFF 5, HSTRT 3 or
// TFD 3, HEND 4, TBL "24", SYNC 6, bits 24-29 and 31, and in "fluxWeave" the unshown bit 11.
quint32 baseWord(bool classic)
{
    return 0xBF000000u | 5u | (3u << 4) | (4u << 7) | (1u << 15) | (6u << 20)
        | (classic ? 0x4000u : 0x800u);
}

} // namespace

// The chopper dialog on a KVN3162 board: each control changes exactly its field of CHOPCONF,
// words go round unchanged, and its writes reach the paceHold dialog.
class TestMotorChopper : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void controlWritesExactlyItsField_data();
    void controlWritesExactlyItsField();
    void wordReadAndWrittenBackIsUnchanged_data();
    void wordReadAndWrittenBackIsUnchanged();
    void spinBoxWritesOncePerFinishedEdit();
    void modeSwitchHoldsTheStartValueAndWritesOnce();
    void writesReachThePaceHoldDialogWithoutEcho();
    void failedReadLeavesTheControlsAsTheyWere();

private:
    WindowOnBoard on;
    const MotorChopper *dialog = nullptr;
};

void TestMotorChopper::initTestCase()
{
    QVERIFY(WindowOnBoard::prepare());
    QVERIFY(on.open(Chip::Kvn3162));
    dialog = &on.dialogs().motorChopper;
    on.dialogUnderTest = const_cast<MotorChopper *>(dialog);
}

void TestMotorChopper::init()
{
    QVERIFY(on.waitUntilConnected());
}

void TestMotorChopper::cleanupTestCase()
{
    on.close();
}

void TestMotorChopper::controlWritesExactlyItsField_data()
{
    QTest::addColumn<int>("motor");
    QTest::addColumn<bool>("classic");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("value"); // a spin box or combo box value; check boxes are clicked
    QTest::addColumn<quint32>("mask");
    QTest::addColumn<quint32>("bits");

    struct Row
    {
        const char *name;
        bool classic;
        const char *control;
        int value;
        quint32 mask;
        quint32 bits;
    };
    const Row rows[] = {
        {"HSTRT 1", false, "EditHStrt", 1, 0x870, 0x810},
        {"HSTRT 8 is stored as 0", false, "EditHStrt", 8, 0x870, 0x800},
        {"HSTRT 7", false, "EditHStrt", 7, 0x870, 0x870},
        {"TFD 0", true, "EditHStrt", 0, 0x870, 0x000},
        {"TFD 7", true, "EditHStrt", 7, 0x870, 0x070},
        {"TFD 8 sets bit 11", true, "EditHStrt", 8, 0x870, 0x800},
        {"TFD 15", true, "EditHStrt", 15, 0x870, 0x870},
        {"HEND -3", false, "EditHEnd", -3, 0x780, 13u << 7},
        {"HEND -1", false, "EditHEnd", -1, 0x780, 15u << 7},
        {"HEND 0", false, "EditHEnd", 0, 0x780, 0},
        {"HEND 12", false, "EditHEnd", 12, 0x780, 12u << 7},
        {"OFFSET -3", true, "EditHEnd", -3, 0x780, 13u << 7},
        {"SYNC 0", false, "EditSync", 0, 0xF00000, 0},
        {"SYNC 15", false, "EditSync", 15, 0xF00000, 0xF00000},
        {"TOFF 0", false, "EditTOff", 0, 0xF, 0},
        {"TOFF 15", true, "EditTOff", 15, 0xF, 0xF},
        {"TBL 16", false, "CbTbl", 0, 0x18000, 0},
        {"TBL 54", false, "CbTbl", 3, 0x18000, 0x18000},
        {"mode Classic", false, "CbChopperMode", 1, 0x4800, 0x4000},
        {"mode fluxWeave", true, "CbChopperMode", 0, 0x4800, 0},
        {"DISFDCC", false, "CheckDisFDCC", 1, 1u << 12, 1u << 12},
        {"RNDTF", false, "CheckRndTF", 1, 1u << 13, 1u << 13},
        {"VSENSE", true, "CheckVSense", 1, 1u << 17, 1u << 17},
        {"VHIGHFS", false, "CheckVHighFs", 1, 1u << 18, 1u << 18},
        {"VHIGHCHM", false, "CheckVHighChm", 1, 1u << 19, 1u << 19},
        {"DISS2G", true, "CheckDisS2G", 1, 1u << 30, 1u << 30},
    };
    for (int motor = 0; motor < 2; ++motor) {
        for (const Row &row : rows) {
            QTest::addRow("motor %d %s", motor + 1, row.name)
                << motor << row.classic << QString::fromLatin1(row.control) << row.value << row.mask
                << row.bits;
        }
    }
}

void TestMotorChopper::controlWritesExactlyItsField()
{
    QFETCH(int, motor);
    QFETCH(bool, classic);
    QFETCH(QString, control);
    QFETCH(int, value);
    QFETCH(quint32, mask);
    QFETCH(quint32, bits);

    const quint8 address = chopConf[motor];
    const quint32 base = baseWord(classic);
    LINKED_VERIFY(on, on.putAndInit(address, base));
    const QString name = control + QString::number(motor + 1);
    QWidget *widget = WindowOnBoard::child<QWidget>(*dialog, name);
    LINKED_VERIFY(on, widget && widget->isEnabled());
    if (auto *box = qobject_cast<QCheckBox *>(widget))
        box->click();
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        combo->setCurrentIndex(value);
    else
        qobject_cast<QSpinBox *>(widget)->setValue(value);

    const quint32 written = (base & ~mask) | bits;
    LINKED_COMPARE(on, on.board->writeLog(), WindowOnBoard::Writes({{address, written}}));
    LINKED_COMPARE(on, on.board->registerValue(address), written);

    // Read back from another word, then from the written one: the control shows its value.
    LINKED_VERIFY(on, on.putAndInit(address, base ^ mask));
    LINKED_VERIFY(on, on.putAndInit(address, written));
    if (auto *box = qobject_cast<QCheckBox *>(widget))
        LINKED_VERIFY(on, box->isChecked());
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        LINKED_COMPARE(on, combo->currentIndex(), value);
    else
        LINKED_COMPARE(on, qobject_cast<QSpinBox *>(widget)->value(), value);
}

void TestMotorChopper::wordReadAndWrittenBackIsUnchanged_data()
{
    QTest::addColumn<quint32>("word");
    QTest::newRow("all zero: HSTRT 8") << 0u;
    QTest::newRow("HEND field 13 to 15, bit 11 in fluxWeave") << 0x00000F80u;
    QTest::newRow("Classic TFD 15, OFFSET -1") << 0x000047F0u;
    QTest::newRow("bits no control shows") << 0xBF000000u;
    QTest::newRow("every bit") << 0xFFFFFFFFu;
}

void TestMotorChopper::wordReadAndWrittenBackIsUnchanged()
{
    QFETCH(quint32, word);
    for (int motor = 0; motor < 2; ++motor) {
        LINKED_VERIFY(on, on.putAndInit(chopConf[motor], word));
        // A box clicked on and off again writes the word as it was read.
        auto *box
            = WindowOnBoard::child<QCheckBox>(*dialog, WindowOnBoard::named("CheckRndTF", motor));
        box->click();
        box->click();
        LINKED_COMPARE(on, on.board->writeLog().size(), 2);
        LINKED_COMPARE(on, on.board->writeLog().last(), qMakePair(chopConf[motor], word));
    }
}

void TestMotorChopper::spinBoxWritesOncePerFinishedEdit()
{
    LINKED_VERIFY(on, on.putAndInit(chopConf[0], 0));
    LINKED_VERIFY(on, on.putAndInit(highVelocity[0], 0));
    auto *velocity = WindowOnBoard::child<QSpinBox>(*dialog, "EditVHigh1");
    auto *offTime = WindowOnBoard::child<QSpinBox>(*dialog, "EditTOff1");
    const_cast<MotorChopper *>(dialog)->show();
    LINKED_VERIFY(on, QTest::qWaitForWindowExposed(const_cast<MotorChopper *>(dialog)));

    velocity->setFocus();
    velocity->selectAll();
    QTest::keyClicks(velocity, QStringLiteral("1234567"));
    LINKED_VERIFY(on, on.board->writeLog().isEmpty());
    QTest::keyClick(velocity, Qt::Key_Return);
    LINKED_COMPARE(on, on.board->writeLog(), WindowOnBoard::Writes({{0x32, 1234567}}));

    // Leaving a box after typing finishes its edit too; each step of the arrows is one.
    on.board->clearWriteLog();
    offTime->setFocus();
    offTime->selectAll();
    QTest::keyClicks(offTime, QStringLiteral("12"));
    velocity->setFocus();
    QTest::keyClick(offTime, Qt::Key_Up);
    LINKED_COMPARE(on, on.board->writeLog(), WindowOnBoard::Writes({{0x6C, 12}, {0x6C, 13}}));
    const_cast<MotorChopper *>(dialog)->hide();

    // So do the spin boxes of the encoder and paceHold dialogs.
    for (const ChipDialog *other : {static_cast<const ChipDialog *>(&on.dialogs().encoder),
                                    static_cast<const ChipDialog *>(&on.dialogs().paceHold)}) {
        for (const QSpinBox *box : other->findChildren<QSpinBox *>())
            QVERIFY2(!box->keyboardTracking(), qPrintable(box->objectName()));
    }
}

void TestMotorChopper::modeSwitchHoldsTheStartValueAndWritesOnce()
{
    // Classic, TFD 12: bits 4-6 hold 4 and bit 11 is set.
    LINKED_VERIFY(on, on.putAndInit(chopConf[1], 0x00004840));
    auto *mode = WindowOnBoard::child<QComboBox>(*dialog, "CbChopperMode2");
    auto *start = WindowOnBoard::child<QSpinBox>(*dialog, "EditHStrt2");
    LINKED_COMPARE(on, start->value(), 12);
    mode->setCurrentIndex(0);
    // HSTRT is held to 8, stored as 0; bit 11 was TFD's and goes with it.
    LINKED_COMPARE(on, start->value(), 8);
    LINKED_COMPARE(on, WindowOnBoard::child<QLabel>(*dialog, "LblHStrt2")->text(),
                   QStringLiteral("HSTRT:"));
    LINKED_COMPARE(on, on.board->writeLog(), WindowOnBoard::Writes({{0x7C, 0}}));
}

void TestMotorChopper::writesReachThePaceHoldDialogWithoutEcho()
{
    const PaceHold &paceHold = on.dialogs().paceHold;
    LINKED_VERIFY(on, on.putAndInit(chopConf[1], 0x00010003));
    on.board->setRegisterValue(highVelocity[0], 111);
    on.board->setRegisterValue(highVelocity[1], 222);

    // The chopper's write is on the chip when paceHold shows it, and paceHold writes nothing.
    auto *paceHoldOffTime = WindowOnBoard::child<QSpinBox>(paceHold, "EditTOff2");
    quint32 onChipWhenShown = 0;
    const QMetaObject::Connection watch
        = connect(paceHoldOffTime, &QSpinBox::valueChanged, this,
                  [&] { onChipWhenShown = on.board->registerValue(chopConf[1]); });
    WindowOnBoard::child<QSpinBox>(*dialog, "EditTOff2")->setValue(9);
    disconnect(watch);
    LINKED_COMPARE(on, on.board->writeLog(), WindowOnBoard::Writes({{0x7C, 0x00010009}}));
    LINKED_COMPARE(on, paceHoldOffTime->value(), 9);
    LINKED_COMPARE(on, onChipWhenShown, 0x00010009u);

    // paceHold builds on that word, and the chopper dialog hears of paceHold's write: it shows
    // the flags and fetches both velocity thresholds, writing nothing back.
    on.board->clearWriteLog();
    on.board->clearRequestLog();
    WindowOnBoard::child<QPushButton>(paceHold, "BtnEnable2")->click();
    LINKED_COMPARE(on, on.board->writeLog(), WindowOnBoard::Writes({{0x7C, 0x000D0009}}));
    LINKED_VERIFY(on, WindowOnBoard::child<QCheckBox>(*dialog, "CheckVHighFs2")->isChecked());
    LINKED_VERIFY(on, WindowOnBoard::child<QCheckBox>(*dialog, "CheckVHighChm2")->isChecked());
    const QList<int> reads = on.readAddresses();
    LINKED_VERIFY(on, reads.contains(0x32) && reads.contains(0x52));
    LINKED_COMPARE(on, WindowOnBoard::child<QSpinBox>(*dialog, "EditVHigh1")->value(), 111);
    LINKED_COMPARE(on, WindowOnBoard::child<QSpinBox>(*dialog, "EditVHigh2")->value(), 222);
}

void TestMotorChopper::failedReadLeavesTheControlsAsTheyWere()
{
    // The chip does not answer the dialog's read of CHOPCONF_1: its controls keep the last word
    // read, not a 0 that the chip never held.
    LINKED_VERIFY(on, on.putAndInit(chopConf[0], 0x00018005));
    on.board->setRegisterValue(chopConf[0], 0x00000007);
    on.board->setUnknownCommandStatus(true);
    const_cast<MotorChopper *>(dialog)->OnInitAllValues();
    on.board->setUnknownCommandStatus(false);
    LINKED_COMPARE(on, WindowOnBoard::child<QSpinBox>(*dialog, "EditTOff1")->value(), 5);
    LINKED_COMPARE(on, WindowOnBoard::child<QComboBox>(*dialog, "CbTbl1")->currentIndex(), 3);
    LINKED_VERIFY(on, on.board->writeLog().isEmpty());
    // The next change builds on that word.
    WindowOnBoard::child<QCheckBox>(*dialog, "CheckRndTF1")->click();
    LINKED_COMPARE(on, on.board->writeLog(), WindowOnBoard::Writes({{0x6C, 0x0001A005}}));
}

QTEST_MAIN(TestMotorChopper)
#include "tst_motorchopper.moc"
