#include "dialogs/motorcurrent.h"
#include "dialogs/chipfields.h"
#include "dialogs/chipregisters.h"
#include "foundation/livevaluelabel.h"

#include "ui_motorcurrent.h"

#include <QEvent>
#include <QScopedValueRollback>

namespace {

constexpr unsigned char iholdIrun1 = chipregisters::rampRegister(0, chipregisters::IHoldIRun);

struct CurrentField
{
    chipfields::Field bits;
    QDial *Ui_MotorCurrent::*dial[2]; // motor 1, motor 2
};

// In the order a register value sets the dials: run current, hold current, hold delay.
const CurrentField currentFields[] = {
    {chipfields::iholdirun::runCurrent,
     {&Ui_MotorCurrent::DialRunCurrent1, &Ui_MotorCurrent::DialRunCurrent2}},
    {chipfields::iholdirun::holdCurrent,
     {&Ui_MotorCurrent::DialHoldCurrent1, &Ui_MotorCurrent::DialHoldCurrent2}},
    {chipfields::iholdirun::holdDelay,
     {&Ui_MotorCurrent::DialDelayTime1, &Ui_MotorCurrent::DialDelayTime2}},
};

struct DialWiring
{
    QDial *Ui_MotorCurrent::*dial;
    QLabel *Ui_MotorCurrent::*valueLabel;
    void (MotorCurrent::*slot)(int);
};

} // namespace

MotorCurrent::MotorCurrent(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_MotorCurrent)
{
    ui->setupUi(this);
    setIdentity("MotorCurrent", resizableFlags);
    // Each dial shows its value in its label before its slot writes the chip.
    const DialWiring wiring[] = {
        {&Ui_MotorCurrent::DialRunCurrent1, &Ui_MotorCurrent::label_2,
         &MotorCurrent::DialRunCurrent1},
        {&Ui_MotorCurrent::DialHoldCurrent2, &Ui_MotorCurrent::label_4,
         &MotorCurrent::DialHoldCurrent2},
        {&Ui_MotorCurrent::DialDelayTime1, &Ui_MotorCurrent::label_3,
         &MotorCurrent::DialDelayTime1},
        {&Ui_MotorCurrent::DialDelayTime2, &Ui_MotorCurrent::label_6,
         &MotorCurrent::DialDelayTime2},
        {&Ui_MotorCurrent::DialHoldCurrent1, &Ui_MotorCurrent::label,
         &MotorCurrent::DialHoldCurrent1},
        {&Ui_MotorCurrent::DialRunCurrent2, &Ui_MotorCurrent::label_5,
         &MotorCurrent::DialRunCurrent2},
    };
    for (const DialWiring &wire : wiring) {
        QDial *dial = ui->*wire.dial;
        connect(dial, &QDial::valueChanged, ui->*wire.valueLabel, qOverload<int>(&QLabel::setNum));
        connect(dial, &QDial::valueChanged, this, wire.slot);
        // A larger text size reaches each label with a font change.
        (ui->*wire.valueLabel)->installEventFilter(this);
        fitValueLabel(ui->*wire.valueLabel);
        // The label tells what the chip holds, which nobody knows while the board is gone.
        markLiveValues({ui->*wire.valueLabel});
    }
    setRegisterControls({ui->DialRunCurrent1, ui->DialHoldCurrent1, ui->DialDelayTime1,
                         ui->DialRunCurrent2, ui->DialHoldCurrent2, ui->DialDelayTime2});
}

MotorCurrent::~MotorCurrent()
{
    delete ui;
}

bool MotorCurrent::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        fitValueLabel(static_cast<QLabel *>(watched));
    return ChipDialog::eventFilter(watched, event);
}

void MotorCurrent::fitValueLabel(QLabel *label)
{
    // The form's width, which holds two digits at the default text size.
    static constexpr int formWidth = 24;
    // Measured as the label measures its own text.
    int widest = 0;
    for (const QChar digit : QStringLiteral("0123456789")) {
        const QString twoDigits(2, digit);
        widest = qMax(widest, label->fontMetrics().boundingRect(QRect(), 0, twoDigits).width());
    }
    const QMargins frame = label->contentsMargins();
    label->setFixedWidth(
        qMax(formWidth, widest + 2 * label->margin() + frame.left() + frame.right()));
}

void MotorCurrent::OnInitAllValues()
{
    for (int motor = 1; motor <= 2; ++motor) {
        const int value = readRegister(motorAddress(iholdIrun1, motor));
        if (!lastReadFailed())
            showRegister(motor, value);
    }
}

void MotorCurrent::OnRegisterChanged(unsigned char address, int value)
{
    for (int motor = 1; motor <= 2; ++motor) {
        if (address == motorAddress(iholdIrun1, motor))
            showRegister(motor, value);
    }
}

// The chip already holds the value shown, so setting the dials writes nothing back.
void MotorCurrent::showRegister(int motor, int value)
{
    lastKnown[motor - 1].set(quint32(value));
    const QScopedValueRollback<bool> filling(updating, true);
    for (const CurrentField &field : currentFields)
        (ui->*field.dial[motor - 1])->setValue(int(field.bits.of(quint32(value))));
}

void MotorCurrent::writeField(int motor, Field field, int value)
{
    if (updating)
        return;
    const unsigned char address = motorAddress(iholdIrun1, motor);
    const int current = readRegister(address);
    // Without the chip's other bits there is nothing to build the write from, and the dial the
    // user turned goes back to what the chip was last known to hold.
    if (lastReadFailed()) {
        if (lastKnown[motor - 1].known)
            showRegister(motor, int(lastKnown[motor - 1].value));
        return;
    }
    const chipfields::Field &bits = currentFields[field].bits;
    RegisterShadow &shadow = lastKnown[motor - 1];
    shadow.set(quint32(current));
    const int written = int(shadow.with(bits.mask, bits.placed(quint32(value))));
    writeRegister(address, written);
    // A write the chip refused has come back as the value the chip holds (OnRegisterChanged),
    // which the dials show; nobody is told of a current the chip does not have.
    if (lastWriteFailed())
        return;
    shadow.set(quint32(written));
    Q_EMIT MotorCurrentChanged(address, written);
}

void MotorCurrent::DialDelayTime1(int value)
{
    writeField(1, DelayTime, value);
}

void MotorCurrent::DialRunCurrent1(int value)
{
    writeField(1, RunCurrent, value);
}

void MotorCurrent::DialHoldCurrent1(int value)
{
    writeField(1, HoldCurrent, value);
}

void MotorCurrent::DialHoldCurrent2(int value)
{
    writeField(2, HoldCurrent, value);
}

void MotorCurrent::DialRunCurrent2(int value)
{
    writeField(2, RunCurrent, value);
}

void MotorCurrent::DialDelayTime2(int value)
{
    writeField(2, DelayTime, value);
}
