#pragma once

#include "dialogs/encoder.h"
#include "dialogs/generalsettings.h"
#include "dialogs/motorchopper.h"
#include "dialogs/motorcurrent.h"
#include "dialogs/motordriver.h"
#include "dialogs/pacehold.h"
#include "dialogs/rampgeneratorfeatures.h"
#include "dialogs/registers.h"
#include "views/loadadapt.h"
#include "views/microstepwaves.h"

#include <QList>

// The main window's ten chip dialogs, each a top-level window of its own, held for the window's
// whole life. all() lists them in the order in which every broadcast reaches them.
class ChipDialogSet
{
public:
    ChipDialogSet();

    const QList<ChipDialog *> &all() const { return m_all; }

    // Brings every open dialog in front of other windows, in list order.
    void raiseVisible() const;
    // Each dialog takes the style sheet, grows or shrinks with the text it sets and stays on the
    // screen.
    void setStyleSheet(const QString &styleSheet) const;

    MotorCurrent motorCurrent;
    RampGeneratorFeatures rampGeneratorFeatures;
    GeneralSettings generalSettings;
    MotorChopper motorChopper;
    MotorDriver motorDriver;
    MicrostepWaves microstepWaves;
    LoadAdapt loadAdapt;
    Registers registers;
    Encoder encoder;
    PaceHold paceHold;

private:
    QList<ChipDialog *> m_all;
};
