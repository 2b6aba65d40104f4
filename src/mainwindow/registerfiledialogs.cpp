#include "mainwindow/registerfiledialogs.h"

#include "foundation/appsettings.h"
#include "foundation/plainmessagebox.h"
#include "foundation/utilities.h"
#include "mainwindow/registeraccess.h"
#include "mainwindow/settingspersistence.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

using Outcome = RegisterSettingsFile::Outcome;
using Result = RegisterSettingsFile::Result;

// A long refusal list is cut; the user only needs to see that the file does not fit.
constexpr int listedLinesLimit = 12;
// A path is shown cut to this length: a box as wide as a path of thousands of characters would
// push its button off the screen.
constexpr int longestShownPath = 160;

QString translated(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// A name typed without a suffix gets the chip number (or "c") as its suffix, whatever the file
// dialog did about it.
QString withSuffix(const QString &path, const QString &suffix)
{
    if (suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + QLatin1Char('.') + suffix;
}

void appendLimited(QStringList &lines, const QStringList &items)
{
    for (int i = 0; i < items.size(); ++i) {
        if (i == listedLinesLimit) {
            lines << QStringLiteral("  ... and %1 more").arg(items.size() - i);
            return;
        }
        lines << QLatin1String("  ") + items.at(i);
    }
}

QStringList refusalLines(const Result &result)
{
    QStringList items;
    for (const RegisterSettingsFile::Refusal &refusal : result.refused) {
        items << refusal.key
                + (refusal.text.isNull() ? QString()
                                         : QLatin1String(" = \"") + refusal.text + QLatin1Char('"'))
                + QLatin1String(": ") + refusal.reason;
    }
    return items;
}

} // namespace

RegisterFileCommands::RegisterFileCommands(AppSettings &settings, RegisterIo io,
                                           std::function<QString()> moduleName)
    : m_settings(settings)
    , m_io(std::move(io))
    , m_moduleName(std::move(moduleName))
{ }

QString RegisterFileCommands::defaultFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // Named but never made (a fresh account): the dialog would open on the home folder with
    // "Documents" typed in as the file name.
    return documents.isEmpty() || !QDir(documents).exists() ? QDir::homePath() : documents;
}

QString RegisterFileCommands::startPath(const QString &key) const
{
    const QString stored = m_settings.value(key).toString();
    return stored.isEmpty() ? defaultFolder() : stored;
}

QString RegisterFileCommands::choose(QWidget *parent, const RegisterFileRequest &request) const
{
    const FileChooser chooser = m_chooser ? m_chooser : fileDialogChooser();
    return chooser(parent, request);
}

void RegisterFileCommands::report(QWidget *parent, const QString &title, const Result &result,
                                  const QString &path) const
{
    const QString text = describe(result, path);
    if (text.isEmpty())
        return;
    const Notifier notifier = m_notifier ? m_notifier : messageBoxNotifier();
    notifier(parent, Notice::Warning, title, text);
}

// The road every command takes: a board must be connected, the user picks a file, the work
// runs on it, a success moves the remembered folder (when the command has one) and the outcome
// is told.
Result RegisterFileCommands::runOnChosenFile(QWidget *parent, const RegisterFileRequest &request,
                                             const QString &lastPathKey, const FileWork &work)
{
    const RegisterMapEntry *map = currentRegisterMap;
    if (!map) {
        Result result;
        result.outcome = Outcome::NoRegisterMap;
        report(parent, request.caption, result, QString());
        return result;
    }
    const QString chosen = choose(parent, request);
    if (chosen.isEmpty()) {
        Result result;
        result.outcome = Outcome::Cancelled;
        return result;
    }

    const QString path = request.forSaving ? withSuffix(chosen, request.defaultSuffix) : chosen;
    const Result result = work(path, map);
    if (result.succeeded() && !lastPathKey.isEmpty())
        m_settings.setValue(lastPathKey, QFileInfo(path).absoluteFilePath());
    report(parent, request.caption, result, path);
    return result;
}

Result RegisterFileCommands::saveRegisters(QWidget *parent)
{
    const QString module = m_moduleName();
    RegisterFileRequest request;
    request.caption = translated("Save setting file");
    request.startPath = startPath(SettingsPersistence::lastDirKey);
    request.nameFilter = QLatin1String("KVN") + module + QLatin1String(" Registers (*.") + module
        + QLatin1Char(')');
    request.defaultSuffix = module;
    request.forSaving = true;
    return runOnChosenFile(parent, request, SettingsPersistence::lastDirKey,
                           [this](const QString &path, const RegisterMapEntry *map) {
                               return RegisterSettingsFile::save(path, map, m_io);
                           });
}

Result RegisterFileCommands::loadRegisters(QWidget *parent)
{
    const QString module = m_moduleName();
    RegisterFileRequest request;
    request.caption = translated("Open setting file");
    request.startPath = startPath(SettingsPersistence::lastDirKey);
    request.nameFilter = QLatin1String("KVN") + module + QLatin1String("Registers (*.") + module
        + QLatin1Char(')');
    request.defaultSuffix = module;
    request.forSaving = false;
    // Loading leaves "last Dir" alone: it names the last file saved.
    return runOnChosenFile(parent, request, QString(),
                           [this](const QString &path, const RegisterMapEntry *map) {
                               const Result result = RegisterSettingsFile::load(path, map, m_io);
                               // Whatever reached the chip is shown as the chip now holds it,
                               // not as the file said.
                               if (!result.written.isEmpty() && m_afterLoad)
                                   m_afterLoad();
                               return result;
                           });
}

Result RegisterFileCommands::exportRegisters(QWidget *parent)
{
    RegisterFileRequest request;
    request.caption = translated("Export to a c source");
    request.startPath = startPath(SettingsPersistence::lastExportDirKey);
    request.nameFilter = QStringLiteral("C source file (*.c)");
    request.defaultSuffix = QStringLiteral("c");
    request.forSaving = true;
    return runOnChosenFile(parent, request, SettingsPersistence::lastExportDirKey,
                           [this](const QString &path, const RegisterMapEntry *map) {
                               return RegisterSettingsFile::exportSource(path, map, m_moduleName(),
                                                                         m_io);
                           });
}

QString RegisterFileCommands::describe(const Result &result, const QString &path)
{
    const QString file = shortenedText(QDir::toNativeSeparators(path), longestShownPath);
    QStringList lines;
    switch (result.outcome) {
    case Outcome::Done:
    case Outcome::Cancelled:
        return QString();
    case Outcome::NoRegisterMap:
        return QStringLiteral("No board is connected.");
    case Outcome::ReadFailed:
        return QStringLiteral("The register %1 could not be read from the board (no answer, or "
                              "the chip is being detected).\nNo file was written.")
            .arg(result.failedRead);
    case Outcome::FileNotWritable:
        return QStringLiteral("%1 could not be written: %2.").arg(file, result.fileError);
    case Outcome::FileNotReadable:
        return QStringLiteral("%1 could not be read: %2.").arg(file, result.fileError);
    case Outcome::NotASettingsFile:
        if (!result.loading)
            return QStringLiteral("%1 is not a settings file. It was left as it was.").arg(file);
        return QStringLiteral("%1 is not a settings file. It was left as it was, and nothing was "
                              "written to the board.")
            .arg(file);
    case Outcome::NoRegistersGroup:
        return QStringLiteral("%1 holds no group \"%2\". Nothing was written to the board.")
            .arg(file, RegisterSettingsFile::group);
    case Outcome::NothingToLoad:
        lines << QStringLiteral("%1 holds no value for the registers of this chip. Nothing was "
                                "written to the board.")
                     .arg(file);
        break;
    case Outcome::Partial:
        lines << QStringLiteral("%1 registers were loaded from %2.")
                     .arg(result.written.size())
                     .arg(file);
        break;
    }
    if (!result.failedWrite.isEmpty()) {
        lines << QStringLiteral("The board did not take %1; loading stopped there.")
                     .arg(result.failedWrite);
        if (!result.notWritten.isEmpty()) {
            lines << QStringLiteral("Not written:");
            appendLimited(lines, result.notWritten);
        }
    }
    if (!result.refused.isEmpty()) {
        lines << QStringLiteral("Not loaded:");
        appendLimited(lines, refusalLines(result));
    }
    if (!result.missing.isEmpty()) {
        lines << QStringLiteral("Not in the file, left as they were:");
        appendLimited(lines, result.missing);
    }
    return lines.join(QLatin1Char('\n'));
}

RegisterFileCommands::FileChooser RegisterFileCommands::fileDialogChooser()
{
    return [](QWidget *parent, const RegisterFileRequest &request) {
        QFileDialog dialog(parent, request.caption);
        // The stored path is the file used last: open its folder with it selected.
        const QFileInfo start(request.startPath);
        if (start.isDir()) {
            dialog.setDirectory(start.absoluteFilePath());
        } else if (start.absoluteDir().exists()) {
            dialog.setDirectory(start.absolutePath());
            dialog.selectFile(start.fileName());
        } else {
            dialog.setDirectory(defaultFolder());
        }
        dialog.setNameFilter(request.nameFilter);
        dialog.setDefaultSuffix(request.defaultSuffix);
        dialog.setAcceptMode(request.forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(request.forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        if (dialog.exec() != QDialog::Accepted)
            return QString();
        return dialog.selectedFiles().value(0);
    };
}

RegisterFileCommands::Notifier RegisterFileCommands::messageBoxNotifier()
{
    // The texts hold file names, keys and values from the file: plain text, never markup.
    return [](QWidget *parent, Notice notice, const QString &title, const QString &text) {
        if (notice == Notice::Information)
            PlainMessageBox::information(parent, title, text);
        else
            PlainMessageBox::warning(parent, title, text);
    };
}

RegisterIo RegisterFileCommands::linkRegisterIo(RegisterAccess *access,
                                                std::function<void(quint8, qint32)> mirrored)
{
    RegisterIo io;
    io.read = [access](quint8 address) { return access->readRegister(address); };
    io.readFailed = [access] { return access->lastReadFailed(); };
    io.write = [access, mirrored = std::move(mirrored)](quint8 address, qint32 value) {
        const int status = access->writeRegister(address, value);
        if (mirrored && !access->lastWriteFailed())
            mirrored(address, value);
        return status;
    };
    return io;
}
