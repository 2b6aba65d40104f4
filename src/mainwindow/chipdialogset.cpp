#include "mainwindow/chipdialogset.h"

#include "foundation/screenfit.h"

ChipDialogSet::ChipDialogSet()
    : m_all {&motorCurrent,    &rampGeneratorFeatures,
             &generalSettings, &motorChopper,
             &motorDriver,     &microstepWaves,
             &loadAdapt,       &registers,
             &encoder,         &paceHold}
{
    // Both motors' graphs and settings side by side, or the wave tables, need more than a small
    // screen has at the larger text sizes: there they scroll instead of reaching off the screen.
    ScreenFit::scrollWhenLargerThanScreen(&loadAdapt);
    ScreenFit::scrollWhenLargerThanScreen(&microstepWaves);
}

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
