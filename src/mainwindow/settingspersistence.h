#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class AppSettings;
class QAction;
class QMainWindow;
class QMenu;
class QSettings;
class QWidget;

// What the main window keeps from one run to the next in the settings store: its geometry
// (group "Mainwindow", through AppSettings::saveWindow and restoreWindow), the checked states of
// its Options menu ("style"), the chosen board ("Current Module"), a start counter, the geometry
// of its chip dialogs (group "Dialogs", one rectangle per dialog object name), whether the link
// connects by itself ("Autostart") and the register files used last ("last Dir",
// "last Export Dir").
class SettingsPersistence
{
public:
    static const QString styleKey; // "style"
    static const QString currentModuleKey; // "Current Module"
    static const QString startCounterKey; // "StartCounter"
    static const QString dialogsGroup; // "Dialogs"
    static const QString autostartKey; // "Autostart"
    static const QString lastDirKey; // "last Dir"
    static const QString lastExportDirKey; // "last Export Dir"

    // Every top-level key and group of the store the main window reads or writes, the window
    // group "Mainwindow" included.
    static QStringList persistedKeys();

    // The window's closing save: geometry, option states, every dialog's geometry (visible or
    // not), "Autostart"; then the store is flushed, so nothing waits for its destruction.
    static void save(AppSettings &settings, QMainWindow *window, const QMenu *options,
                     const QList<QWidget *> &dialogs, bool autostart);

    // The checked state of each checkable, named action of the menu, by object name.
    static QVariantMap optionStates(const QMenu *options);

    // Sets (without triggering) each action of the menu that the stored "style" map names. With
    // no stored map, `fallback` keeps its present state. Names the menu no longer has are
    // ignored; actions the map does not name keep their state.
    static void restoreOptionActions(const AppSettings &settings, QMenu *options,
                                     const QAction *fallback);

    // Counts this start and flushes the store; returns the new count.
    static int countStart(AppSettings &settings);

    // Inside "Dialogs": a dialog without a stored rectangle is shown and hidden once so that it
    // gets a geometry of its own; each then takes its stored (or present) geometry and the
    // style sheet.
    static void restoreDialogs(QSettings &settings, const QList<QWidget *> &dialogs,
                               const QString &styleSheet);

    static bool autostart(const QSettings &settings);

    template<typename Widget> static QList<QWidget *> widgetList(const QList<Widget *> &widgets)
    {
        return QList<QWidget *>(widgets.cbegin(), widgets.cend());
    }
};
