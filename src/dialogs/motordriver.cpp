#include "dialogs/motordriver.h"

#include "ui_motordriver.h"

#include "dialogs/chipregisters.h"
#include "dialogs/statuslamps.h"

namespace {

constexpr unsigned char drvStatus1 = chipregisters::driverRegister(0, chipregisters::DrvStatus);

// Top to bottom as the lamps are shown.
const StatusLampBit driverLamps[MotorDriver::lampCount] = {
    {31, "STST"}, {30, "OLB"}, {29, "OLA"}, {28, "S2GB"},     {27, "S2GA"},
    {26, "OTPW"}, {25, "OT"},  {24, "SW"},  {15, "FSActive"},
};

} // namespace

MotorDriver::MotorDriver(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_MotorDriver)
{
    ui->setupUi(this);
    setIdentity("MotorDriver", fixedSizeFlags);
    QVBoxLayout *const columns[2] = {ui->VLMotor1, ui->VLMotor2};
    for (int motor = 0; motor < 2; ++motor)
        placeStatusLamps(driverLamps, columns[motor], m_lamps[motor].data());
}

MotorDriver::~MotorDriver()
{
    delete ui;
}

void MotorDriver::OnRegisterChanged(unsigned char address, int value)
{
    for (int motor = 1; motor <= 2; ++motor) {
        if (address == motorAddress(drvStatus1, motor))
            showStatusLamps(driverLamps, m_lamps[motor - 1].data(), value);
    }
}
