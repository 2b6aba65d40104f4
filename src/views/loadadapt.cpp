#include "views/loadadapt.h"

#include "ui_loadadapt.h"

#include "dialogs/chipfields.h"
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

// The fields of ADAPTCONF, which this window composes and decodes.
namespace adaptconf = chipfields::adaptconf;

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
        adaptConf = {};
}

void LoadAdapt::OnInitAllValues()
{
    updating = true;
    for (int motor = 0; motor < 2; ++motor) {
        const int value = readRegister(motorAddress(AdaptConf, motor + 1));
        if (!lastReadFailed())
            decodeAdaptConf(motor, value);
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
        updateCurrentBand(motor);
        return;
    }
    case DrvStatus:
        scene(motor + 1)->addSample(int(chipfields::drvstatus::load.of(quint32(value))),
                                    int(chipfields::drvstatus::current.of(quint32(value))),
                                    lastVelocity[motor]);
        return;
    default:
        return;
    }
}

void LoadAdapt::setRunCurrent(int motor, int ihold_irun)
{
    (motor ? runCurrent2 : runCurrent1)
        = int(chipfields::iholdirun::runCurrent.of(quint32(ihold_irun)));
    updateCurrentBand(motor);
}

void LoadAdapt::composeAdaptConf(int motor)
{
    if (updating || motor < 0 || motor > 1 || !adaptConf[motor].known)
        return;
    const MotorWidgets w = widgets(motor);
    // Two's complement in seven bits: the shift is made on the unsigned pattern.
    quint32 value = adaptconf::threshold.placed(quint32(w.threshold->value()));
    if (w.minimumCurrent->currentIndex() > 0)
        value |= adaptconf::minimumCurrent;
    value |= adaptconf::downStep.placed(quint32(qMax(0, w.downStep->currentIndex())));
    value |= adaptconf::hysteresisWidth.placed(quint32(w.hysteresisWidth->value()));
    value |= adaptconf::upStep.placed(quint32(qMax(0, w.upStep->currentIndex())));
    value |= adaptconf::hysteresisStart.placed(quint32(w.hysteresisStart->value()));
    if (w.filter->isChecked())
        value |= adaptconf::filter;
    adaptConf[motor].set(adaptConf[motor].with(adaptconf::shownBits, value));
    writeRegister(motorAddress(AdaptConf, motor + 1), int(adaptConf[motor].value));
}

void LoadAdapt::decodeAdaptConf(int motor, int value)
{
    const MotorWidgets w = widgets(motor);
    const quint32 word = quint32(value);
    adaptConf[motor].set(word);
    w.filter->setChecked(word & adaptconf::filter);
    int threshold = int(adaptconf::threshold.of(word));
    if (word & adaptconf::thresholdSign)
        threshold -= 128;
    w.threshold->setValue(threshold);
    w.minimumCurrent->setCurrentIndex((word & adaptconf::minimumCurrent) ? 1 : 0);
    w.downStep->setCurrentIndex(int(adaptconf::downStep.of(word)));
    w.hysteresisWidth->setValue(int(adaptconf::hysteresisWidth.of(word)));
    w.upStep->setCurrentIndex(int(adaptconf::upStep.of(word)));
    w.hysteresisStart->setValue(int(adaptconf::hysteresisStart.of(word)));
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
