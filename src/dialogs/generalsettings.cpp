#include "dialogs/generalsettings.h"

#include "ui_generalsettings.h"

#include "dialogs/chipfields.h"
#include "dialogs/chipregisters.h"
#include "dialogs/statuslamps.h"
#include "foundation/livevaluelabel.h"

namespace {

constexpr unsigned char gconf = chipregisters::Gconf;
constexpr unsigned char gstat = chipregisters::Gstat;
constexpr unsigned char inputs = chipregisters::InpOut;
constexpr unsigned char xCompare = chipregisters::XCompare;

struct ConfigurationBit
{
    quint32 mask;
    QCheckBox *Ui_GeneralSettings::*box;
};

const ConfigurationBit configurationBits[] = {
    {chipfields::gconf::positionCompare, &Ui_GeneralSettings::CheckPosComp},
    {chipfields::gconf::shaft1, &Ui_GeneralSettings::CheckShaft1},
    {chipfields::gconf::shaft2, &Ui_GeneralSettings::CheckShaft2},
    {chipfields::gconf::lockConfiguration, &Ui_GeneralSettings::CheckLockConf},
};

const StatusLampBit globalStatusLamps[] = {
    {0, "Reset"},
    {1, "Driver error 1"},
    {2, "Driver error 2"},
    {3, "Undervoltage"},
};
constexpr int globalStatusLampCount = int(std::size(globalStatusLamps));

// The driver enable input is active low: the lamp shows the drivers enabled.
const StatusLampBit driverEnableLamp[] = {{7, "DRV_ENN", true}};

quint32 shownConfigurationBits()
{
    quint32 mask = 0;
    for (const ConfigurationBit &bit : configurationBits)
        mask |= bit.mask;
    return mask;
}

} // namespace

GeneralSettings::GeneralSettings(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_GeneralSettings)
{
    ui->setupUi(this);
    setIdentity("GeneralSettings", fixedSizeFlags);
    placeStatusLamps(globalStatusLamps, ui->verticalLayout, m_lamps.data());
    placeStatusLamps(driverEnableLamp, ui->verticalLayoutOthers,
                     m_lamps.data() + globalStatusLampCount);
    // The revision comes with every poll of the input register.
    markLiveValues({ui->StaticChipRevision});
    setRegisterControls({ui->CheckPosComp, ui->CheckLockConf, ui->CheckShaft1, ui->CheckShaft2,
                         ui->BtnSetXCompare, ui->CheckStatusPoll});
}

GeneralSettings::~GeneralSettings()
{
    delete ui;
}

void GeneralSettings::OnEnableAll(bool enable)
{
    ChipDialog::OnEnableAll(enable);
    ui->BtnStatusRead->setEnabled(enable && !ui->CheckStatusPoll->isChecked());
}

void GeneralSettings::OnInitAllValues()
{
    const int configuration = readRegister(gconf);
    if (!lastReadFailed())
        showConfiguration(configuration);
    const int compare = readRegister(xCompare);
    if (!lastReadFailed())
        ui->EditXCompare->setValue(compare);
}

void GeneralSettings::OnRegisterChanged(unsigned char address, int value)
{
    switch (address) {
    case gconf:
        showConfiguration(value);
        break;
    case gstat:
        showStatusLamps(globalStatusLamps, m_lamps.data(), value);
        break;
    case inputs:
        showStatusLamps(driverEnableLamp, m_lamps.data() + globalStatusLampCount, value);
        // The revision is the top byte, a number from 0 to 255.
        ui->StaticChipRevision->setNum(int(quint32(value) >> 24));
        break;
    case xCompare:
        ui->EditXCompare->setValue(value);
        break;
    default:
        break;
    }
}

void GeneralSettings::showConfiguration(int value)
{
    m_configuration.set(quint32(value));
    for (const ConfigurationBit &bit : configurationBits)
        (ui->*bit.box)->setChecked(m_configuration.value & bit.mask);
}

void GeneralSettings::on_buttonGroup_buttonClicked(QAbstractButton *)
{
    quint32 checked = 0;
    for (const ConfigurationBit &bit : configurationBits) {
        if ((ui->*bit.box)->isChecked())
            checked |= bit.mask;
    }
    m_configuration.set(m_configuration.with(shownConfigurationBits(), checked));
    writeRegister(gconf, int(m_configuration.value));
}

void GeneralSettings::on_CheckStatusPoll_clicked(bool checked)
{
    Q_EMIT SetStatusPoll(checked);
    ui->BtnStatusRead->setEnabled(!checked);
}

void GeneralSettings::on_BtnStatusRead_clicked()
{
    const int status = readRegister(gstat);
    if (!lastReadFailed())
        OnRegisterChanged(gstat, status);
}

void GeneralSettings::on_BtnSetXCompare_clicked()
{
    writeRegister(xCompare, ui->EditXCompare->value());
}
