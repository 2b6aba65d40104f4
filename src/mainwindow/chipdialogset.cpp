#include "mainwindow/chipdialogset.h"

#include "console/debugmessage.h"

#include <QSettings>

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
        dialog->setStyleSheet(styleSheet);
}

void ChipDialogSet::restoreGeometry(QSettings &settings, const QString &styleSheet) const
{
    settings.beginGroup(QStringLiteral("Dialogs"));
    const QStringList keys = settings.allKeys();
    for (ChipDialog *dialog : m_all) {
        const QString name = dialog->objectName();
        if (!keys.contains(name)) {
            kvnMessage(DebugMessageMessage) << "neuer Dialog" << name << styleSheet;
            dialog->show();
            dialog->hide();
        }
        // A stored value that is no rectangle leaves the dialog where it is.
        const QRect stored = settings.value(name, dialog->geometry()).toRect();
        dialog->setGeometry(stored.isValid() ? stored : dialog->geometry());
        dialog->setStyleSheet(styleSheet);
    }
    settings.endGroup();
}
