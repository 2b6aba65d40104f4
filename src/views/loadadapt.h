#pragma once

#include "dialogs/chipdialog.h"
#include "dialogs/registershadow.h"

#include <QSizeF>

#include <array>

class LoadAdaptScene;
class QGraphicsView;
class Ui_LoadAdapt;

// The load-adaptive current control of both motors: the fields of ADAPTCONF, the speed range
// (VADAPTTHRS as minimum, VHIGH as maximum, which the chopper dialog also shows) and a live load
// graph per motor, fed by every driver status value of the poll.
class LoadAdapt : public ChipDialog
{
    Q_OBJECT

public:
    explicit LoadAdapt(QWidget *parent = nullptr);
    ~LoadAdapt() override;

    LoadAdaptScene *scene(int motor) const { return motor == 2 ? scene2 : scene1; }

public Q_SLOTS:
    void OnEnableAll(bool enable) override;
    void OnInitAllValues() override;
    void OnRegisterChanged(unsigned char address, int value) override;
    // Fits both graphs to their views; the splitter's position and handle index are ignored.
    void adjustScene(int position, int index);
    void adjustScene();

protected:
    void resizeEvent(QResizeEvent *event) override;
    // The help's colours follow the tool tip's background of the look in force.
    void changeEvent(QEvent *event) override;

private Q_SLOTS:
    void on_CheckFilter1_clicked(bool checked);
    void on_EditSWT1_valueChanged(int value);
    void on_EditHystMax1_valueChanged(int value);
    void on_EditHystMin1_valueChanged(int value);
    void on_CbIMin1_currentIndexChanged(int index);
    void on_CbDown1_currentIndexChanged(int index);
    void on_CbUp1_currentIndexChanged(int index);
    void on_EditSWT2_valueChanged(int value);
    void on_EditHystMax2_valueChanged(int value);
    void on_EditHystMin2_valueChanged(int value);
    void on_CbIMin2_currentIndexChanged(int index);
    void on_CbDown2_currentIndexChanged(int index);
    void on_CbUp2_currentIndexChanged(int index);
    void on_CheckFilter2_clicked(bool checked);
    void on_EditMinSpeed1_valueChanged(int value);
    void on_EditMaxSpeed1_valueChanged(int value);
    void on_EditMinSpeed2_valueChanged(int value);
    void on_EditMaxSpeed2_valueChanged(int value);

private:
    struct MotorWidgets;
    MotorWidgets widgets(int motor) const;

    // motor 0 writes ADAPTCONF of motor 1, motor 1 that of motor 2.
    void composeAdaptConf(int motor);
    void decodeAdaptConf(int motor, int value);
    void updateCurrentBand(int motor);
    void updateHysteresisBand(int motor);
    void setRunCurrent(int motor, int ihold_irun);
    QString helpText() const;
    void showHelpText();

    Ui_LoadAdapt *ui;
    LoadAdaptScene *scene1;
    LoadAdaptScene *scene2;
    int runCurrent1 = 0;
    int runCurrent2 = 0;
    // Each motor's ADAPTCONF as the chip last held it since the board connected: the widgets'
    // fields are written on top of it, so the bits they do not show go back as they were, and
    // nothing is written from widgets that a failed read left as they were.
    std::array<RegisterShadow, 2> adaptConf {};
    std::array<int, 2> lastVelocity {0, 0};
    std::array<QSizeF, 2> lastViewSize;
    bool viewSizesTaken = false;
};
