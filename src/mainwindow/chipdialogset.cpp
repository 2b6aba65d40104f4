#include "mainwindow/chipdialogset.h"

#include "foundation/screenfit.h"

ChipDialogSet::ChipDialogSet()
    : m_all {&motorCurrent,    &rampGeneratorFeatures,
             &generalSettings, &motorChopper,
             &motorDriver,     &microstepWaves,
             &loadAdapt,       &registers,
             &encoder,         &paceHold}
{ }

void ChipDialogSet::raiseVisible() const
{
    for (ChipDialog *dialog : m_all) {
        if (dialog->isVisible())
            dialog->raise();
    }
}

void ChipDialogSet::setStyleSheet(const QString &styleSheet) const
{
    for (ChipDialog *dialog : m_all)
        ScreenFit::setStyleSheetKeepingFit(dialog, styleSheet);
}
