#include "mainwindow/settingspersistence.h"

#include "console/debugmessage.h"
#include "foundation/appsettings.h"
#include "foundation/constants.h"
#include "foundation/screenfit.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QRect>

#include <limits>

const QString SettingsPersistence::styleKey = QStringLiteral("style");
const QString SettingsPersistence::currentModuleKey = QStringLiteral("Current Module");
const QString SettingsPersistence::startCounterKey = QStringLiteral("StartCounter");
const QString SettingsPersistence::dialogsGroup = QStringLiteral("Dialogs");
const QString SettingsPersistence::autostartKey = QStringLiteral("Autostart");
const QString SettingsPersistence::lastDirKey = QStringLiteral("last Dir");
const QString SettingsPersistence::lastExportDirKey = QStringLiteral("last Export Dir");

QStringList SettingsPersistence::persistedKeys()
{
    return {mainWindowGroupKey, styleKey,     currentModuleKey, startCounterKey,
            dialogsGroup,       autostartKey, lastDirKey,       lastExportDirKey};
}

QVariantMap SettingsPersistence::optionStates(const QMenu *options)
{
    QVariantMap states;
    const QList<QAction *> actions = options->actions();
    for (const QAction *action : actions) {
        if (!action->isCheckable() || action->objectName().isEmpty())
            continue;
        states.insert(action->objectName(), action->isChecked());
        qDebug() << action->objectName() << action->isChecked();
    }
    return states;
}

void SettingsPersistence::save(AppSettings &settings, QMainWindow *window, const QMenu *options,
                               const QList<QWidget *> &dialogs, bool autostart)
{
    settings.saveWindow(window, QString());
    settings.setValueMap(optionStates(options), styleKey);
    for (const QWidget *dialog : dialogs)
        settings.setValue(dialogsGroup + QLatin1Char('/') + dialog->objectName(),
                          dialog->geometry());
    settings.setValue(autostartKey, autostart);
    settings.sync();
}

void SettingsPersistence::restoreOptionActions(const AppSettings &settings, QMenu *options,
                                               const QAction *fallback)
{
    QVariantMap states = settings.valueMap(styleKey);
    kvnMessage(DebugMessageMessage) << states;
    if (states.isEmpty() && fallback)
        states.insert(fallback->objectName(), fallback->isChecked());
    const QList<QAction *> actions = options->actions();
    for (QAction *action : actions) {
        const auto stored = states.constFind(action->objectName());
        if (!action->objectName().isEmpty() && stored != states.constEnd())
            action->setChecked(stored->toBool());
    }
}

int SettingsPersistence::countStart(AppSettings &settings)
{
    // A counter at the top of its range (a hand-edited file, or very many starts) stays there.
    const int stored = settings.value(startCounterKey, 0).toInt();
    const int count = stored < std::numeric_limits<int>::max() ? stored + 1 : stored;
    settings.setValue(startCounterKey, count);
    settings.sync();
    return count;
}

void SettingsPersistence::restoreDialogs(QSettings &settings, const QList<QWidget *> &dialogs,
                                         const QString &styleSheet)
{
    settings.beginGroup(dialogsGroup);
    const QStringList keys = settings.allKeys();
    for (QWidget *dialog : dialogs) {
        const QString name = dialog->objectName();
        if (!keys.contains(name)) {
            kvnMessage(DebugMessageMessage) << "neuer Dialog" << name << styleSheet;
            dialog->show();
            dialog->hide();
        }
        // A stored value that is no rectangle leaves the dialog where it is.
        const QRect stored = settings.value(name, dialog->geometry()).toRect();
        if (stored.isValid())
            dialog->setGeometry(stored);
        dialog->setStyleSheet(styleSheet);
        // Stored on another screen layout, or grown for a font that has since become smaller:
        // every dialog opens wholly on the screen.
        ScreenFit::keepOnScreen(dialog);
        ScreenFit::keepOnScreenWhenShown(dialog);
    }
    settings.endGroup();
}

bool SettingsPersistence::autostart(const QSettings &settings)
{
    return settings.value(autostartKey, false).toBool();
}
