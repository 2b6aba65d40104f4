#pragma once

#include <QDateTime>
#include <QMap>
#include <QMultiMap>
#include <QSettings>
#include <QVariantMap>

class QComboBox;
class QWidget;

// A history of notification texts ordered by time. Several entries may share a time (two
// messages within one millisecond) and the same text may occur more than once.
using MessageHistory = QMultiMap<QDateTime, QString>;

// The per-user settings file of the program: INI format, organisation "Korvane", application
// name from the executable. Made on the stack for a few reads or writes; every group an
// operation begins is ended by it again.
class AppSettings : public QSettings
{
public:
    static const QString organisationName;
    // Most entries a notification history keeps.
    static constexpr int messageHistoryLimit = 10;

    AppSettings();

    // A settings file the store cannot read (a format error, no access, values that would make
    // the reader fail; see SettingsFileCheck) is moved aside as
    // "<name>.ini.corrupt-<yyyyMMdd-HHmmss>" and the store starts from defaults. Returns the
    // kept file's path; empty when the file was sound, absent, or could not be moved. The first
    // store a process opens does this by itself.
    QString setAsideDamagedFile();

    QVariantMap valueMap(const QString &key) const;
    void setValueMap(const QVariantMap &map, const QString &key);

    // Checked states of the widget's checkable actions, in the group named after the widget.
    // Restoring triggers each enabled, named action so that its slots act on the stored state
    // even when it equals the present one.
    void restoreActionStates(QWidget *widget);
    void saveActionStates(QWidget *widget);

    // Geometry in the group "Mainwindow"; the suffix tells windows apart (empty for the main
    // window). Restoring returns whether a stored tool-bar and dock state was applied.
    bool restoreWindow(QWidget *window, const QString &suffix = QString());
    void saveWindow(QWidget *window, const QString &suffix = QString());

    void saveComboText(QComboBox *box);
    QString restoreComboText(QComboBox *box);

    // Adds the text at the present time to the caller's history, keeps the newest
    // messageHistoryLimit entries and stores the history under the key.
    void saveMessageMap(const QString &key, MessageHistory &history, const QString &text);
    MessageHistory loadMessageMap(const QString &key);
    void storeMessageMap(const QString &key, const MessageHistory &history);

    // Maps of maps in the group "VariantMap/" + name, one key per entry.
    QMap<QString, QVariantMap> getParaMapVariant(const QString &name);
    void setParaMapVariant(const QString &name, const QMap<QString, QVariantMap> &maps);
};
