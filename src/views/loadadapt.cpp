#include "views/loadadapt.h"

#include "ui_loadadapt.h"

#include "dialogs/chipregisters.h"
#include "foundation/methodname.h"
#include "foundation/pixmaputilities.h"
#include "views/baritem.h"
#include "views/htmltable.h"
#include "views/loadadaptscene.h"

#include <QApplication>
#include <QDebug>
#include <QPixmap>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScrollBar>

namespace {

// Register addresses of motor 1; those of motor 2 follow the motor address rule.
constexpr unsigned char VActual = chipregisters::rampRegister(0, chipregisters::VActual);
constexpr unsigned char IHoldIRun = chipregisters::rampRegister(0, chipregisters::IHoldIRun);
constexpr unsigned char VAdaptThrs = chipregisters::rampRegister(0, chipregisters::VAdaptThrs);
constexpr unsigned char VHigh = chipregisters::rampRegister(0, chipregisters::VHigh);
constexpr unsigned char AdaptConf = chipregisters::driverRegister(0, chipregisters::AdaptConf);
constexpr unsigned char DrvStatus = chipregisters::driverRegister(0, chipregisters::DrvStatus);

// ADAPTCONF fields.
constexpr int hysteresisStartMask = 0xF;
constexpr int upStepShift = 5;
constexpr int hysteresisWidthShift = 8;
constexpr int downStepShift = 13;
constexpr int minimumCurrentBit = 0x8000;
constexpr int thresholdShift = 16;
constexpr int thresholdMask = 0x7F0000;
constexpr int thresholdSignBit = 0x400000;
constexpr int filterBit = 0x1000000;

// The current scale of both load graphs: the run current at full height.
constexpr int graphCurrentScale = 32;

const char *const helpSentences[] = {
    "The primary parameter to tune the strainWatch value, which is the base for loadAdapt, is the "
    "Threshold. 5 is a good starting value.",
    "To enable loadAdapt, Hysteresis Start must be at least set to a value > 0.",
    "Once enabled, loadAdapt can be tuned with the Hysteresis start and width value, with the down "
    "and up step speed, and with the minimum current allowed (50% or 75%).",
    "The speed range in which loadAdapt is to be applied can be defined by Minimum and Maximum "
    "speed.",
};

} // namespace

struct LoadAdapt::MotorWidgets
{
    QCheckBox *filter;
    QSpinBox *threshold;
    QSpinBox *hysteresisStart;
    QSpinBox *hysteresisWidth;
    QComboBox *minimumCurrent;
    QComboBox *downStep;
    QComboBox *upStep;
    QSpinBox *minimumSpeed;
    QSpinBox *maximumSpeed;
    QGraphicsView *view;
};

LoadAdapt::MotorWidgets LoadAdapt::widgets(int motor) const
{
    if (motor == 1)
        return {ui->CheckFilter2, ui->EditSWT2, ui->EditHystMin2,  ui->EditHystMax2,  ui->CbIMin2,
                ui->CbDown2,      ui->CbUp2,    ui->EditMinSpeed2, ui->EditMaxSpeed2, ui->ViewSW2};
    return {ui->CheckFilter1, ui->EditSWT1, ui->EditHystMin1,  ui->EditHystMax1,  ui->CbIMin1,
            ui->CbDown1,      ui->CbUp1,    ui->EditMinSpeed1, ui->EditMaxSpeed1, ui->ViewSW1};
}

LoadAdapt::LoadAdapt(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_LoadAdapt)
{
    // No control writes before the first fill from the chip.
    updating = true;
    ui->setupUi(this);
    setIdentity("LoadAdapt", Qt::Window);
    connect(ui->splitter, &QSplitter::splitterMoved, this,
            qOverload<int, int>(&LoadAdapt::adjustScene));
    scene1 = new LoadAdaptScene(ui->ViewSW1, graphCurrentScale);
    scene2 = new LoadAdaptScene(ui->ViewSW2, graphCurrentScale);
    qDebug() << KVN_METHOD;
    adjustScene(0, 0);

    for (int motor = 0; motor < 2; ++motor) {
        const MotorWidgets w = widgets(motor);
        w.minimumCurrent->addItems({QStringLiteral("1/2"), QStringLiteral("1/4")});
        w.downStep->addItems(
            {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("8"), QStringLiteral("32")});
        w.upStep->addItems(
            {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("8")});
    }

    showHelpText();

    QList<QWidget *> controls;
    for (int motor = 0; motor < 2; ++motor) {
        const MotorWidgets w = widgets(motor);
        controls << w.filter << w.threshold << w.hysteresisStart << w.hysteresisWidth
                 << w.minimumCurrent << w.downStep << w.upStep << w.minimumSpeed << w.maximumSpeed;
    }
    setRegisterControls(controls);
}

LoadAdapt::~LoadAdapt()
{
    // Closing the dialog is no fault: a plain debug line, no notification.
    qDebug() << KVN_METHOD;
    delete ui;
    scene1->deleteLater();
    scene2->deleteLater();
}

void LoadAdapt::showHelpText()
{
    ui->frameHelp->setToolTip(helpText());
    ui->frameHelp->setWhatsThis(ui->frameHelp->toolTip());
}

void LoadAdapt::changeEvent(QEvent *event)
{
    ChipDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        showHelpText();
}

QString LoadAdapt::helpText() const
{
    // Navy on the application look's dark blue tool tip could not be read.
    HtmlTable table(100, 0.0, 2, QApplication::palette().color(QPalette::ToolTipBase));
    table.heading(pixmapToHtmlImage(QPixmap(QStringLiteral(":/KVN/KorvaneIcon")), 32, 32)
                  + QStringLiteral("strainWatch & loadAdapt"));
    for (const char *sentence : helpSentences)
        table.addValues({QString(QChar(0x2019)), QLatin1String(sentence) + QChar(0x2022)});
    return table.endTable();
}

void LoadAdapt::OnEnableAll(bool enable)
{
    ChipDialog::OnEnableAll(enable);
    // Another board may hold other values; they are read again when it connects.
    if (!enable)
        adaptConfKnown = {false, false};
}

void LoadAdapt::OnInitAllValues()
{
    updating = true;
    for (int motor = 0; motor < 2; ++motor) {
        const int value = readRegister(motorAddress(AdaptConf, motor + 1));
        if (!lastReadFailed()) {
            decodeAdaptConf(motor, value);
            adaptConfKnown[motor] = true;
        }
    }
    for (int motor = 0; motor < 2; ++motor) {
        const int value = readRegister(motorAddress(IHoldIRun, motor + 1));
        if (!lastReadFailed())
            setRunCurrent(motor, value);
    }
    for (int motor = 0; motor < 2; ++motor) {
        const MotorWidgets w = widgets(motor);
        const int minimum = readRegister(motorAddress(VAdaptThrs, motor + 1));
        if (!lastReadFailed())
            w.minimumSpeed->setValue(minimum);
        const int maximum = readRegister(motorAddress(VHigh, motor + 1));
        if (!lastReadFailed())
            w.maximumSpeed->setValue(maximum);
    }
    updating = false;
    scene1->setChipName(QStringLiteral("362"));
    scene2->setChipName(QStringLiteral("362"));
}

void LoadAdapt::OnRegisterChanged(unsigned char address, int value)
{
    if (address < VActual)
        return;
    const int motor = chipregisters::motorOf(address) - 1;
    const unsigned char motor1Address = chipregisters::motor1AddressOf(address);
    // A value shown while the dialog is still waiting for its first fill leaves it waiting.
    switch (motor1Address) {
    case VActual:
        lastVelocity[motor] = value;
        return;
    case IHoldIRun:
        setRunCurrent(motor, value);
        return;
    case VAdaptThrs: {
        const QScopedValueRollback<bool> guard(updating, true);
        widgets(motor).minimumSpeed->setValue(value);
        return;
    }
    case VHigh: {
        const QScopedValueRollback<bool> guard(updating, true);
        widgets(motor).maximumSpeed->setValue(value);
        return;
    }
    case AdaptConf: {
        const QScopedValueRollback<bool> guard(updating, true);
        decodeAdaptConf(motor, value);
        adaptConfKnown[motor] = true;
        updateCurrentBand(motor);
        return;
    }
    case DrvStatus:
        scene(motor + 1)->addSample(value & 0x3FF, (value >> 16) & 0xFF, lastVelocity[motor]);
        return;
    default:
        return;
    }
}

void LoadAdapt::setRunCurrent(int motor, int ihold_irun)
{
    (motor ? runCurrent2 : runCurrent1) = (ihold_irun & 0x1F00) >> 8;
    updateCurrentBand(motor);
}

void LoadAdapt::composeAdaptConf(int motor)
{
    if (updating || motor < 0 || motor > 1 || !adaptConfKnown[motor])
        return;
    const MotorWidgets w = widgets(motor);
    // Two's complement in seven bits: the shift is made on the unsigned pattern.
    int value = int((quint32(w.threshold->value()) << thresholdShift) & thresholdMask);
    if (w.minimumCurrent->currentIndex() > 0)
        value |= minimumCurrentBit;
    value |= (qMax(0, w.downStep->currentIndex()) & 3) << downStepShift;
    value |= (w.hysteresisWidth->value() & 0xF) << hysteresisWidthShift;
    value |= (qMax(0, w.upStep->currentIndex()) & 3) << upStepShift;
    value |= w.hysteresisStart->value() & hysteresisStartMask;
    if (w.filter->isChecked())
        value |= filterBit;
    writeRegister(motorAddress(AdaptConf, motor + 1), value);
}

void LoadAdapt::decodeAdaptConf(int motor, int value)
{
    const MotorWidgets w = widgets(motor);
    w.filter->setChecked(value & filterBit);
    int threshold = (value >> thresholdShift) & 0x3F;
    if (value & thresholdSignBit)
        threshold -= 64;
    w.threshold->setValue(threshold);
    w.minimumCurrent->setCurrentIndex((value & minimumCurrentBit) ? 1 : 0);
    w.downStep->setCurrentIndex((value >> downStepShift) & 3);
    w.hysteresisWidth->setValue((value >> hysteresisWidthShift) & 0xF);
    w.upStep->setCurrentIndex((value >> upStepShift) & 3);
    w.hysteresisStart->setValue(value & hysteresisStartMask);
    updateHysteresisBand(motor);
}

void LoadAdapt::updateCurrentBand(int motor)
{
    const int runCurrent = motor ? runCurrent2 : runCurrent1;
    const int divisor = widgets(motor).minimumCurrent->currentIndex() == 1 ? 4 : 2;
    BarItem *band = scene(motor + 1)->currentBand;
    band->setUpperValue(runCurrent);
    band->setLowerValue(runCurrent / divisor);
}

void LoadAdapt::updateHysteresisBand(int motor)
{
    const MotorWidgets w = widgets(motor);
    BarItem *band = scene(motor + 1)->hysteresisBand;
    band->setLowerValue(w.hysteresisStart->value());
    band->setUpperValue(w.hysteresisStart->value() + w.hysteresisWidth->value() + 1);
}

void LoadAdapt::adjustScene(int position, int index)
{
    Q_UNUSED(position)
    Q_UNUSED(index)
    adjustScene();
}

void LoadAdapt::adjustScene()
{
    QGraphicsView *views[2] = {ui->ViewSW1, ui->ViewSW2};
    if (!viewSizesTaken) {
        for (int i = 0; i < 2; ++i)
            lastViewSize[i] = QSizeF(views[i]->width(), views[i]->height());
        viewSizesTaken = true;
    }
    for (int i = 0; i < 2; ++i) {
        // A view squeezed to nothing keeps its scaling: a factor of 0 would make the view's
        // transformation singular, and the next factor infinite.
        const double height = views[i]->height();
        if (height > 0 && lastViewSize[i].height() > 0) {
            const double factor = height / lastViewSize[i].height();
            views[i]->scale(factor, factor);
        }
    }
    for (QGraphicsView *view : views) {
        QScrollBar *history = view->horizontalScrollBar();
        if (history->isHidden())
            history->setValue(history->maximum());
    }
    for (int i = 0; i < 2; ++i) {
        if (views[i]->height() > 0)
            lastViewSize[i] = QSizeF(views[i]->width(), views[i]->height());
    }
    scene1->adjustScene();
    scene2->adjustScene();
    ui->ViewSW1->viewport()->update();
    ui->ViewSW2->viewport()->update();
}

void LoadAdapt::resizeEvent(QResizeEvent *event)
{
    adjustScene();
    qDebug() << KVN_METHOD;
    // The base places the size grip in the new corner.
    ChipDialog::resizeEvent(event);
}

void LoadAdapt::on_CheckFilter1_clicked(bool)
{
    composeAdaptConf(0);
}
void LoadAdapt::on_EditSWT1_valueChanged(int)
{
    composeAdaptConf(0);
}
void LoadAdapt::on_CbUp1_currentIndexChanged(int)
{
    composeAdaptConf(0);
}
void LoadAdapt::on_CbDown1_currentIndexChanged(int)
{
    composeAdaptConf(0);
}
void LoadAdapt::on_CheckFilter2_clicked(bool)
{
    composeAdaptConf(1);
}
void LoadAdapt::on_EditSWT2_valueChanged(int)
{
    composeAdaptConf(1);
}
void LoadAdapt::on_CbUp2_currentIndexChanged(int)
{
    composeAdaptConf(1);
}
void LoadAdapt::on_CbDown2_currentIndexChanged(int)
{
    composeAdaptConf(1);
}

void LoadAdapt::on_CbIMin1_currentIndexChanged(int)
{
    composeAdaptConf(0);
    updateCurrentBand(0);
}

void LoadAdapt::on_CbIMin2_currentIndexChanged(int)
{
    composeAdaptConf(1);
    updateCurrentBand(1);
}

void LoadAdapt::on_EditHystMin1_valueChanged(int)
{
    composeAdaptConf(0);
    updateHysteresisBand(0);
}

void LoadAdapt::on_EditHystMax1_valueChanged(int)
{
    composeAdaptConf(0);
    updateHysteresisBand(0);
}

void LoadAdapt::on_EditHystMin2_valueChanged(int)
{
    composeAdaptConf(1);
    updateHysteresisBand(1);
}

void LoadAdapt::on_EditHystMax2_valueChanged(int)
{
    composeAdaptConf(1);
    updateHysteresisBand(1);
}

void LoadAdapt::on_EditMinSpeed1_valueChanged(int value)
{
    if (!updating)
        writeRegister(motorAddress(VAdaptThrs, 1), value);
}

void LoadAdapt::on_EditMaxSpeed1_valueChanged(int value)
{
    if (!updating)
        writeRegister(motorAddress(VHigh, 1), value);
}

void LoadAdapt::on_EditMinSpeed2_valueChanged(int value)
{
    if (!updating)
        writeRegister(motorAddress(VAdaptThrs, 2), value);
}

void LoadAdapt::on_EditMaxSpeed2_valueChanged(int value)
{
    if (!updating)
        writeRegister(motorAddress(VHigh, 2), value);
}
