#include "windowonboard.h"

#include "boardsim/chipmodel.h"
#include "boardsim/chipregisters.h"
#include "foundation/labelled.h"

#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSpinBox>

using boardsim::Chip;

namespace {

// Motor 2's registers lie 0x20 higher.
constexpr quint8 encMode = 0x38;
constexpr quint8 encConst = 0x3A;

quint8 motorAddress(quint8 address, int motor)
{
    return quint8(address + 0x20 * motor);
}

const char *const modeBoxes[10] = {
    "CheckAActiveHigh", "CheckBActiveHigh",  "CheckNActiveHigh",    "CheckIgnoreAB",
    "CheckClearAlways", "CheckClearOnce",    "CheckNEventPositive", "CheckNEventNegative",
    "CheckClearOnN",    "CheckLatchXActual",
};

} // namespace

// The encoder dialog on a KVN3162 board: mode bits, the accumulation constant in both modes, the
// live encoder position and the N event.
class TestEncoder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void modeBoxWritesItsBitAndKeepsTheOthers_data();
    void modeBoxWritesItsBitAndKeepsTheOthers();
    void decimalModeLeavesTheConstantAsTheChipHoldsIt_data();
    void decimalModeLeavesTheConstantAsTheChipHoldsIt();
    void constantIsWrittenAsTheChipUsesItAndReadBack_data();
    void constantIsWrittenAsTheChipUsesItAndReadBack();
    void mostNegativeConstantShowsTheLargestReverseMagnitude();
    void encoderPositionFollowsTheMotor_data();
    void encoderPositionFollowsTheMotor();
    void nEventLightsTheLampAndShowsTheLatchedPosition();
    void nChannelCountsOnlyWhereAAndBSaySo_data();
    void nChannelCountsOnlyWhereAAndBSaySo();

private:
    QSpinBox *spin(const char *name, int motor) const
    {
        return WindowOnBoard::child<QSpinBox>(*dialog, WindowOnBoard::named(name, motor));
    }
    QCheckBox *box(const char *name, int motor) const
    {
        return WindowOnBoard::child<QCheckBox>(*dialog, WindowOnBoard::named(name, motor));
    }

    WindowOnBoard on;
    const Encoder *dialog = nullptr;
};

void TestEncoder::initTestCase()
{
    QVERIFY(WindowOnBoard::prepare());
    QVERIFY(on.open(Chip::Kvn3162));
    dialog = &on.dialogs().encoder;
    on.dialogUnderTest = const_cast<Encoder *>(dialog);
}

void TestEncoder::init()
{
    QVERIFY(on.waitUntilConnected());
}

void TestEncoder::cleanupTestCase()
{
    on.close();
}

void TestEncoder::modeBoxWritesItsBitAndKeepsTheOthers_data()
{
    QTest::addColumn<int>("motor");
    QTest::addColumn<int>("bit");
    QTest::addColumn<quint32>("base");
    for (int motor = 0; motor < 2; ++motor) {
        for (int bit = 0; bit < 10; ++bit) {
            // Bits 11-31 all set; of the shown ones every other one.
            QTest::addRow("motor %d %s on", motor + 1, modeBoxes[bit])
                << motor << bit << (0xFFFFF800u | 0x2AAu);
            QTest::addRow("motor %d %s off", motor + 1, modeBoxes[bit])
                << motor << bit << (0xFFFFF800u | 0x555u);
        }
    }
}

void TestEncoder::modeBoxWritesItsBitAndKeepsTheOthers()
{
    QFETCH(int, motor);
    QFETCH(int, bit);
    QFETCH(quint32, base);

    const quint8 address = motorAddress(encMode, motor);
    LINKED_VERIFY(on, on.putAndInit(address, base));
    QCheckBox *clicked = box(modeBoxes[bit], motor);
    clicked->click();
    const quint32 written = base ^ (1u << bit);
    LINKED_COMPARE(on, on.board->writeLog(), WindowOnBoard::Writes({{address, written}}));

    LINKED_VERIFY(on, on.putAndInit(address, base));
    LINKED_COMPARE(on, clicked->isChecked(), bool(base & (1u << bit)));
    LINKED_VERIFY(on, on.putAndInit(address, written));
    LINKED_COMPARE(on, clicked->isChecked(), bool(written & (1u << bit)));
}

void TestEncoder::decimalModeLeavesTheConstantAsTheChipHoldsIt_data()
{
    QTest::addColumn<int>("motor");
    QTest::addColumn<bool>("decimal"); // the mode before the click
    QTest::addColumn<quint32>("word"); // ENC_CONST on the chip
    QTest::addColumn<QList<int>>("shown"); // integer part, fraction, reverse before the click
    QTest::addColumn<QList<int>>("toggled"); // the same word read in the other mode
    QTest::addColumn<QString>("factor"); // before the click
    QTest::addColumn<QString>("toggledFactor");

    QTest::newRow("binary 1.5, motor 2")
        << 1 << false << 0x00018000u << QList<int> {1, 32768, 0} << QList<int> {4, 2768, 0} << "1.5"
        << "4.2768";
    // The chip adds the fraction to the negative integer part -2: +1.2768 in decimal mode.
    QTest::newRow("binary -1.5, motor 1")
        << 0 << false << 0xFFFE8000u << QList<int> {1, 32768, 1} << QList<int> {1, 2768, 0} << "1.5"
        << "1.2768";
    QTest::newRow("decimal 2.5, motor 1")
        << 0 << true << 0x00021388u << QList<int> {2, 5000, 0} << QList<int> {2, 5000, 0} << "2.5"
        << "2.07629";
    QTest::newRow("decimal -1.5, motor 2")
        << 1 << true << 0xFFFE1388u << QList<int> {1, 5000, 1} << QList<int> {1, 60536, 1} << "1.5"
        << "1.92371";
}

// Ticking and unticking "Decimal mode" writes ENCMODE's bit 10 on what the chip holds, and only
// that: the constant stays, and the boxes show what it means in the mode now selected.
void TestEncoder::decimalModeLeavesTheConstantAsTheChipHoldsIt()
{
    QFETCH(int, motor);
    QFETCH(bool, decimal);
    QFETCH(quint32, word);
    QFETCH(QList<int>, shown);
    QFETCH(QList<int>, toggled);
    QFETCH(QString, factor);
    QFETCH(QString, toggledFactor);

    const quint8 modeAddress = motorAddress(encMode, motor);
    const quint8 constAddress = motorAddress(encConst, motor);
    const quint32 mode = decimal ? 0x403u : 0x3u;
    LINKED_VERIFY(on, on.putAndInit(modeAddress, mode));
    LINKED_VERIFY(on, on.putAndInit(constAddress, word));
    QCheckBox *decimalBox = box("CheckDecimalMode", motor);
    auto *label
        = WindowOnBoard::child<QLabel>(*dialog, WindowOnBoard::named("StaticEncConst", motor));
    const auto constantShown = [&] {
        return QList<int> {spin("EditIntPart", motor)->value(),
                           spin("EditFractPart", motor)->value(),
                           int(box("CheckReverseDir", motor)->isChecked())};
    };
    LINKED_COMPARE(on, constantShown(), shown);
    LINKED_COMPARE(on, label->text(), factor);

    // The other bits as the chip holds them now, not as the dialog last saw them.
    const quint32 held = mode | 0x12345000u;
    on.board->setRegisterValue(modeAddress, held);
    decimalBox->click();
    LINKED_COMPARE(on, on.board->writeLog(), WindowOnBoard::Writes({{modeAddress, held ^ 0x400u}}));
    LINKED_COMPARE(on, on.board->registerValue(constAddress), word);
    LINKED_COMPARE(on, spin("EditFractPart", motor)->maximum(), decimal ? 65535 : 10000);
    LINKED_COMPARE(on, constantShown(), toggled);
    LINKED_COMPARE(on, label->text(), toggledFactor);

    on.board->clearWriteLog();
    decimalBox->click();
    LINKED_COMPARE(on, on.board->writeLog(), WindowOnBoard::Writes({{modeAddress, held}}));
    LINKED_COMPARE(on, on.board->registerValue(constAddress), word);
    LINKED_COMPARE(on, constantShown(), shown);
    LINKED_COMPARE(on, label->text(), factor);

    // A read that brings nothing writes nothing, and the box shows the mode the chip keeps.
    on.board->clearWriteLog();
    on.board->setUnknownCommandStatus(true);
    decimalBox->click();
    on.board->setUnknownCommandStatus(false);
    LINKED_COMPARE(on, decimalBox->isChecked(), decimal);
    LINKED_VERIFY(on, on.board->writeLog().isEmpty());
}

void TestEncoder::constantIsWrittenAsTheChipUsesItAndReadBack_data()
{
    QTest::addColumn<int>("motor");
    QTest::addColumn<bool>("decimal");
    QTest::addColumn<int>("integerPart");
    QTest::addColumn<int>("fraction");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<quint32>("word");
    QTest::addColumn<QString>("factor");

    QTest::newRow("1.0") << 0 << false << 1 << 0 << false << 0x00010000u << "1";
    QTest::newRow("binary 1 + 32768") << 0 << false << 1 << 32768 << false << 0x00018000u << "1.5";
    QTest::newRow("binary 2 + 5000")
        << 1 << false << 2 << 5000 << false << 0x00021388u << "2.07629";
    QTest::newRow("largest") << 0 << false << 32767 << 65535 << false << 0x7FFFFFFFu << "32768";
    QTest::newRow("largest reversed")
        << 1 << false << 32767 << 65535 << true << 0x80000001u << "32768";
    QTest::newRow("binary -1.5") << 1 << false << 1 << 32768 << true << 0xFFFE8000u << "1.5";
    QTest::newRow("decimal 2.5") << 0 << true << 2 << 5000 << false << 0x00021388u << "2.5";
    QTest::newRow("decimal -1.5") << 1 << true << 1 << 5000 << true << 0xFFFE1388u << "1.5";
    QTest::newRow("decimal fraction 10000")
        << 0 << true << 0 << 10000 << false << 0x00002710u << "1";
}

void TestEncoder::constantIsWrittenAsTheChipUsesItAndReadBack()
{
    QFETCH(int, motor);
    QFETCH(bool, decimal);
    QFETCH(int, integerPart);
    QFETCH(int, fraction);
    QFETCH(bool, reverse);
    QFETCH(quint32, word);
    QFETCH(QString, factor);

    const quint8 address = motorAddress(encConst, motor);
    LINKED_VERIFY(on, on.putAndInit(motorAddress(encMode, motor), decimal ? 0x400 : 0));
    LINKED_VERIFY(on, on.putAndInit(address, 0));
    spin("EditIntPart", motor)->setValue(integerPart);
    spin("EditFractPart", motor)->setValue(fraction);
    if (reverse)
        box("CheckReverseDir", motor)->click();
    LINKED_COMPARE(on, on.board->registerValue(address), word);
    LINKED_COMPARE(on, on.board->writeLog().last(), qMakePair(address, word));
    auto *shown
        = WindowOnBoard::child<QLabel>(*dialog, WindowOnBoard::named("StaticEncConst", motor));
    LINKED_COMPARE(on, shown->text(), factor);

    LINKED_VERIFY(on, on.putAndInit(address, 0x00030003));
    LINKED_VERIFY(on, on.putAndInit(address, word));
    LINKED_COMPARE(on, spin("EditIntPart", motor)->value(), integerPart);
    LINKED_COMPARE(on, spin("EditFractPart", motor)->value(), fraction);
    LINKED_COMPARE(on, box("CheckReverseDir", motor)->isChecked(), reverse);
    LINKED_COMPARE(on, shown->text(), factor);
}

void TestEncoder::mostNegativeConstantShowsTheLargestReverseMagnitude()
{
    LINKED_VERIFY(on, on.putAndInit(encMode, 0));
    LINKED_VERIFY(on, on.putAndInit(encConst, 0x80000000));
    LINKED_VERIFY(on, box("CheckReverseDir", 0)->isChecked());
    LINKED_COMPARE(on, spin("EditIntPart", 0)->value(), 32767);
    LINKED_COMPARE(on, spin("EditFractPart", 0)->value(), 65535);
}

void TestEncoder::encoderPositionFollowsTheMotor_data()
{
    QTest::addColumn<int>("motor");
    QTest::addColumn<bool>("decimal");
    QTest::addColumn<int>("integerPart");
    QTest::addColumn<int>("fraction");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<int>("position");

    QTest::newRow("1.0") << 0 << false << 1 << 0 << false << 4000;
    QTest::newRow("-1.0") << 1 << false << 1 << 0 << true << -4000;
    QTest::newRow("0.5") << 0 << false << 0 << 32768 << false << 2000;
    QTest::newRow("decimal 1.2345") << 1 << true << 1 << 2345 << false << 4938;
    QTest::newRow("decimal -0.3") << 0 << true << 0 << 3000 << true << -1200;
}

void TestEncoder::encoderPositionFollowsTheMotor()
{
    QFETCH(int, motor);
    QFETCH(bool, decimal);
    QFETCH(int, integerPart);
    QFETCH(int, fraction);
    QFETCH(bool, reverse);
    QFETCH(int, position);

    LINKED_VERIFY(on, on.putAndInit(motorAddress(encMode, motor), decimal ? 0x400 : 0));
    LINKED_VERIFY(on, on.putAndInit(motorAddress(encConst, motor), 0));
    spin("EditIntPart", motor)->setValue(integerPart);
    spin("EditFractPart", motor)->setValue(fraction);
    if (reverse)
        box("CheckReverseDir", motor)->click();

    // The motor at 0, then a positioning move of 4000 microsteps.
    const quint8 ramp = quint8(0x20 + 0x20 * motor);
    on.board->setRegisterValue(ramp + 0x0D, 0);
    on.board->setRegisterValue(ramp + 0x01, 0);
    on.board->setRegisterValue(ramp + 0x19, 0);
    on.board->setRegisterValue(ramp + 0x00, 0);
    on.board->setRegisterValue(ramp + 0x06, 20000);
    on.board->setRegisterValue(ramp + 0x08, 20000);
    on.board->setRegisterValue(ramp + 0x07, 200000);
    on.board->setRegisterValue(ramp + 0x0D, 4000);
    auto *shown
        = WindowOnBoard::child<QLabel>(*dialog, WindowOnBoard::named("StaticActPos", motor));
    QTRY_COMPARE_WITH_TIMEOUT(on.board->registerValue(ramp + 0x01), 4000u, 20000);
    QTRY_VERIFY(on.linkDropped() || shown->text() == QString::number(position));
    LINKED_COMPARE(on, shown->text(), QString::number(position));
}

void TestEncoder::nEventLightsTheLampAndShowsTheLatchedPosition()
{
    LINKED_VERIFY(on, on.putAndInit(0x58, 0));
    // The lamp class has no meta-object of its own: reach it through its layout.
    auto *lampLayout = dialog->findChild<QLayout *>(QStringLiteral("LEDLayout2"));
    LINKED_VERIFY(on, lampLayout && lampLayout->count() == 1);
    auto *lamp = static_cast<LabelLed *>(lampLayout->itemAt(0)->widget());
    LINKED_COMPARE(on, lamp->text->text(), QStringLiteral("N event"));
    LINKED_VERIFY(on, !lamp->led->isEnabled());
    auto *readClear = WindowOnBoard::child<QPushButton>(*dialog, "BtnReadClear2");

    // N active high, an event on its rising edge, wherever A and B are.
    box("CheckNActiveHigh", 1)->click();
    box("CheckNEventPositive", 1)->click();
    box("CheckIgnoreAB", 1)->click();
    LINKED_COMPARE(on, on.board->registerValue(0x58), 0x4Cu);
    on.board->setRegisterValue(0x59, quint32(-2468));
    on.board->setInput(boardsim::Input::EncoderN2, true);
    readClear->click();
    LINKED_VERIFY(on, lamp->led->isEnabled());
    LINKED_COMPARE(on, WindowOnBoard::child<QLabel>(*dialog, "StaticLatchedPos2")->text(),
                   QStringLiteral("-2468"));
    // The read cleared the flag.
    readClear->click();
    LINKED_VERIFY(on, !lamp->led->isEnabled());
    on.board->setInput(boardsim::Input::EncoderN2, false);
}

void TestEncoder::nChannelCountsOnlyWhereAAndBSaySo_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<quint32>("polarities"); // ENCMODE bits 0, 1 and 3
    QTest::addColumn<bool>("event");
    QTest::newRow("A and B low at count 0") << 0 << 0x0u << true;
    QTest::newRow("A high at count 1, wanted low") << 1 << 0x0u << false;
    QTest::newRow("A high at count 1, wanted high") << 1 << 0x1u << true;
    QTest::newRow("A and B high at count 2") << 2 << 0x3u << true;
    QTest::newRow("B high at count 3, wanted low") << 3 << 0x1u << false;
    QTest::newRow("ignore A/B") << 3 << 0x8u << true;
    QTest::newRow("backwards to count -1 is phase 3") << -1 << 0x2u << true;
}

void TestEncoder::nChannelCountsOnlyWhereAAndBSaySo()
{
    using namespace boardsim::chipregisters;
    QFETCH(int, steps);
    QFETCH(quint32, polarities);
    QFETCH(bool, event);

    boardsim::ChipModel chip(Chip::Kvn3162);
    chip.hostWrite(rampRegister(0, AMax), 50000);
    chip.hostWrite(rampRegister(0, DMax), 50000);
    chip.hostWrite(rampRegister(0, VMax), 1000);
    chip.hostWrite(rampRegister(0, XTarget), quint32(steps));
    for (int i = 0; i < 1000 && qint32(chip.value(rampRegister(0, XActual))) != steps; ++i)
        chip.advance(0.01);
    QCOMPARE(qint32(chip.value(rampRegister(0, XActual))), steps);
    chip.hostWrite(rampRegister(0, EncMode), 0x4 | 0x40 | polarities);
    // The idle N pin counted as active under the power-on mode while the motor moved.
    chip.hostRead(rampRegister(0, EncStatus));
    chip.setInput(boardsim::Input::EncoderN1, true);
    QCOMPARE(chip.hostRead(rampRegister(0, EncStatus)), event ? 1u : 0u);
}

QTEST_MAIN(TestEncoder)
#include "tst_encoder.moc"
