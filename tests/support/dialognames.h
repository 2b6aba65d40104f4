#pragma once

#include <QStringList>

// The object names of the main window's ten chip dialogs, in the order the window makes them;
// their geometries are stored under these names (typo included).
inline const QStringList dialogNames {
    "dlg_MotorCurrent",    "dlg_RampGeneratorFeatures",
    "dlg_GeneralSettings", "dlg_MotorChopper",
    "dlg_MotorDriver",     "dlg_MicrostepWavest",
    "dlg_LoadAdapt",       "dlg_Registers",
    "dlg_Encoder",         "dlg_PaceHold",
};
