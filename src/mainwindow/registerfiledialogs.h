#pragma once

#include "mainwindow/registersettingsfile.h"

#include <QString>

#include <functional>

class AppSettings;
class QWidget;
class RegisterAccess;

// What a file dialog is asked for.
struct RegisterFileRequest
{
    QString caption;
    QString startPath; // a folder, or a file whose folder opens with it selected
    QString nameFilter;
    QString defaultSuffix;
    bool forSaving = false; // save: any name; open: an existing file
};

// The File menu's three register commands: save the connected chip's writable registers to a
// register settings file, load one into the chip, export them as source lines. Each asks for a
// file, runs the register traffic and tells the user what went wrong; the window only calls
// them. The file dialog and the message boxes are seams, so the commands run without a window.
//
// "last Dir" holds the register file saved last and "last Export Dir" the source file exported
// last (full paths: the next dialog opens on that file); both start in the user's documents
// folder. A save or export that did not write its file leaves them as they were; a load never
// changes "last Dir".
class RegisterFileCommands
{
public:
    // The chosen file's path; empty when the user cancelled.
    using FileChooser = std::function<QString(QWidget *parent, const RegisterFileRequest &request)>;
    enum class Notice { Information, Warning };
    using Notifier = std::function<void(QWidget *parent, Notice notice, const QString &title,
                                        const QString &text)>;

    // moduleName gives the connected chip's number ("3141" or "3162"); the register map is
    // currentRegisterMap at the time of the command.
    RegisterFileCommands(AppSettings &settings, RegisterIo io, std::function<QString()> moduleName);

    // Unset: QFileDialog and QMessageBox.
    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    void setNotifier(Notifier notifier) { m_notifier = std::move(notifier); }
    // Run after a load wrote to the chip, so that the window and the dialogs read it back.
    void setAfterLoad(std::function<void()> afterLoad) { m_afterLoad = std::move(afterLoad); }

    RegisterSettingsFile::Result saveRegisters(QWidget *parent);
    RegisterSettingsFile::Result loadRegisters(QWidget *parent);
    RegisterSettingsFile::Result exportRegisters(QWidget *parent);

    // The dialogs' first folder.
    static QString defaultFolder();
    static FileChooser fileDialogChooser();
    static Notifier messageBoxNotifier();

    // The text the user is shown for a result; empty when there is nothing to tell.
    static QString describe(const RegisterSettingsFile::Result &result, const QString &path);

    // The program's road to the chip: reads and writes through the register access (brown-out
    // handling and chip detection included), every write the chip took also handed to `mirrored`
    // (the register table), as a write of a dialog is.
    static RegisterIo linkRegisterIo(RegisterAccess *access,
                                     std::function<void(quint8, qint32)> mirrored);

private:
    using FileWork = std::function<RegisterSettingsFile::Result(const QString &path,
                                                                const RegisterMapEntry *map)>;
    RegisterSettingsFile::Result runOnChosenFile(QWidget *parent,
                                                 const RegisterFileRequest &request,
                                                 const QString &lastPathKey, const FileWork &work);
    QString choose(QWidget *parent, const RegisterFileRequest &request) const;
    QString startPath(const QString &key) const;
    void report(QWidget *parent, const QString &title, const RegisterSettingsFile::Result &result,
                const QString &path) const;

    AppSettings &m_settings;
    RegisterIo m_io;
    std::function<QString()> m_moduleName;
    FileChooser m_chooser;
    Notifier m_notifier;
    std::function<void()> m_afterLoad;
};
