#include "mainwindow/registersettingsfile.h"

#include "foundation/regularfile.h"
#include "foundation/settingsfilecheck.h"
#include "foundation/utilities.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QTemporaryFile>
#include <QVariant>

#include <cerrno>
#include <cstring>
#include <limits>

const QString RegisterSettingsFile::group = QStringLiteral("Registers");

namespace {

// What a register file may hold: a complete one is a few kilobytes. Anything larger is refused
// before it is read, so a wrong pick cannot hold the window or the memory.
constexpr qint64 largestFile = 1024 * 1024;
// Names and values are kept for the report only this long: a file may hold megabytes in one.
constexpr int longestReportedText = 40;

// A register file read once, as a private copy the settings reader may take in. A colleague's
// damaged file must not reach the reader: it trusts the counts inside "@Variant(...)" values and
// would try to reserve gigabytes for a damaged one. The reader keeps a parsed file per path for
// the whole process, so it only ever sees copies: a second load of the same path still reports
// damage, and the user's path is never opened by it (a pipe or a device would hang it).
class SettingsCopy
{
public:
    // Empty problem and sound() when the copy can be read; else why not.
    explicit SettingsCopy(const QString &path)
    {
        RegularFile::Content content = RegularFile::read(path, largestFile);
        if (!content.isRead()) {
            m_problem = content.problem;
            m_missing = content.missing;
            return;
        }
        m_bytes = content.bytes;
        m_safe = SettingsFileCheck::isSafe(content.bytes);
        if (!m_safe)
            return;
        if (!m_copy.open() || m_copy.write(content.bytes) != content.bytes.size()
            || !m_copy.flush())
            m_problem
                = QStringLiteral("no private copy could be made: %1").arg(m_copy.errorString());
        m_copy.close();
    }

    bool isRead() const { return m_problem.isEmpty(); }
    QString problem() const { return m_problem; }
    bool missing() const { return m_missing; }
    // Read and free of values that would exhaust the settings reader.
    bool isSafe() const { return isRead() && m_safe; }
    QString fileName() const { return m_copy.fileName(); }
    const QByteArray &bytes() const { return m_bytes; }

private:
    QTemporaryFile m_copy;
    QByteArray m_bytes;
    QString m_problem;
    bool m_missing = false;
    bool m_safe = false;
};

// Most format errors show only once the reader has parsed the groups.
bool isSoundCopy(const SettingsCopy &copy)
{
    if (!copy.isSafe())
        return false;
    QSettings reader(copy.fileName(), QSettings::IniFormat);
    reader.allKeys();
    return reader.status() == QSettings::NoError;
}

// Added to the cause of a failed write when a file was there before.
const QLatin1String keptAsItWas("; the file that was there is left as it was");

// Why a save could not even be put together beside the user's file, in the folder for
// temporary files (the disk that holds it may be the full one).
QString noPrivateCopy(const QString &cause)
{
    const QString text = QStringLiteral("no private copy could be made in %1")
                             .arg(QDir::toNativeSeparators(QDir::tempPath()));
    return cause.isEmpty() ? text : text + QLatin1String(" (") + cause + QLatin1Char(')');
}

// An optional sign and at least one decimal digit, nothing else.
bool isDecimalDigits(const QString &text)
{
    const int start
        = text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+')) ? 1 : 0;
    if (start >= text.size())
        return false;
    for (int i = start; i < text.size(); ++i) {
        if (text.at(i) < QLatin1Char('0') || text.at(i) > QLatin1Char('9'))
            return false;
    }
    return true;
}

using Result = RegisterSettingsFile::Result;
using Outcome = RegisterSettingsFile::Outcome;

Result failure(Outcome outcome, const QString &fileError = QString())
{
    Result result;
    result.outcome = outcome;
    result.fileError = fileError;
    return result;
}

const RegisterMapEntry *findByName(const RegisterMapEntry *map, const QString &name)
{
    for (int i = 0, length = registerMapLength(map); i < length; ++i) {
        if (map[i].name == name)
            return &map[i];
    }
    return nullptr;
}

// What an INI file holds under a key, as the user would see it in the file.
QString fileText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1String(", "));
    return value.toString();
}

// The writable registers as the chip holds them, for writing them out: false, with result saying
// why, when there is no map or a register could not be read.
bool readForWriting(const RegisterMapEntry *map, const RegisterIo &io, Result *result,
                    QList<RegisterSettingsFile::RegisterValue> *values)
{
    if (!map) {
        *result = failure(Outcome::NoRegisterMap);
        return false;
    }
    *values = RegisterSettingsFile::readWritable(map, io, &result->failedRead);
    if (!result->failedRead.isEmpty()) {
        result->outcome = Outcome::ReadFailed;
        return false;
    }
    return true;
}

} // namespace

QList<RegisterSettingsFile::RegisterValue>
RegisterSettingsFile::readWritable(const RegisterMapEntry *map, const RegisterIo &io,
                                   QString *failedRead)
{
    QList<RegisterValue> values;
    for (int i = 0, length = registerMapLength(map); i < length; ++i) {
        const RegisterMapEntry &entry = map[i];
        if (!entry.writable)
            continue;
        const qint32 value = io.read(entry.address);
        if (io.readFailed && io.readFailed()) {
            if (failedRead)
                *failedRead = entry.name;
            return {};
        }
        values.append({&entry, value});
    }
    return values;
}

RegisterSettingsFile::Result
RegisterSettingsFile::save(const QString &path, const RegisterMapEntry *map, const RegisterIo &io)
{
    Result result;
    QList<RegisterValue> values;
    if (!readForWriting(map, io, &result, &values))
        return result;

    // Writing into a file the settings reader could not take in would replace what it holds;
    // what is no file at all (a pipe, a device, a folder) is not written into.
    const SettingsCopy existing(path);
    if (!existing.isRead() && !existing.missing())
        return failure(Outcome::FileNotWritable, existing.problem());
    if (existing.isRead() && !isSoundCopy(existing))
        return failure(Outcome::NotASettingsFile);

    // The settings writer only tells that a write failed, not why; it writes a private file,
    // and the user's file is replaced by what it wrote in one step that knows the cause.
    QTemporaryFile draft;
    if (!draft.open() || draft.write(existing.bytes()) != existing.bytes().size() || !draft.flush())
        return failure(Outcome::FileNotWritable, noPrivateCopy(draft.errorString()));
    draft.close();
    {
        QSettings file(draft.fileName(), QSettings::IniFormat);
        file.beginGroup(group);
        for (const RegisterValue &value : values)
            file.setValue(value.entry->name, value.value);
        file.endGroup();
        // The writer keeps no cause of its own; the system's is the last one it met.
        errno = 0;
        file.sync();
        const int cause = errno;
        if (file.status() != QSettings::NoError)
            return failure(
                Outcome::FileNotWritable,
                noPrivateCopy(cause ? QString::fromLocal8Bit(::strerror(cause)) : QString()));
    }
    const RegularFile::Content written = RegularFile::read(draft.fileName(), largestFile * 2);
    if (!written.isRead())
        return failure(Outcome::FileNotWritable, noPrivateCopy(written.problem));
    const QString problem = RegularFile::replace(path, written.bytes);
    if (!problem.isEmpty())
        return failure(Outcome::FileNotWritable,
                       existing.isRead() ? problem + keptAsItWas : problem);
    return result;
}

RegisterSettingsFile::Result
RegisterSettingsFile::load(const QString &path, const RegisterMapEntry *map, const RegisterIo &io)
{
    Result result = loadInto(path, map, io);
    result.loading = true;
    return result;
}

RegisterSettingsFile::Result RegisterSettingsFile::loadInto(const QString &path,
                                                            const RegisterMapEntry *map,
                                                            const RegisterIo &io)
{
    if (!map)
        return failure(Outcome::NoRegisterMap);
    const SettingsCopy copy(path);
    if (!copy.isRead())
        return failure(Outcome::FileNotReadable, copy.problem());
    if (!isSoundCopy(copy))
        return failure(Outcome::NotASettingsFile);
    QSettings file(copy.fileName(), QSettings::IniFormat);
    file.allKeys();
    if (!file.childGroups().contains(group))
        return failure(Outcome::NoRegistersGroup);

    Result result;
    QHash<QString, qint32> accepted;
    file.beginGroup(group);
    const QStringList keys = file.childKeys();
    for (const QString &key : keys) {
        const QString text = fileText(file.value(key));
        const RegisterMapEntry *entry = findByName(map, key);
        QString reason;
        qint32 value = 0;
        if (!entry)
            reason = QStringLiteral("no register of the connected chip");
        else if (!entry->writable)
            reason = QStringLiteral("a read-only register");
        else if (parseValue(*entry, text, &value, &reason))
            accepted.insert(key, value);
        if (!reason.isEmpty())
            result.refused.append({shortenedText(key, longestReportedText),
                                   shortenedText(text, longestReportedText), reason});
    }
    const QStringList subgroups = file.childGroups();
    for (const QString &subgroup : subgroups)
        result.refused.append({shortenedText(subgroup, longestReportedText), QString(),
                               QStringLiteral("a group, not a register")});
    file.endGroup();

    QList<RegisterValue> values;
    for (int i = 0, length = registerMapLength(map); i < length; ++i) {
        const RegisterMapEntry &entry = map[i];
        if (!entry.writable)
            continue;
        const auto found = accepted.constFind(entry.name);
        if (found != accepted.constEnd())
            values.append({&entry, *found});
        else if (!keys.contains(entry.name))
            result.missing.append(entry.name);
    }
    if (values.isEmpty()) {
        result.outcome = Outcome::NothingToLoad;
        return result;
    }

    writeAll(values, io, result);
    const bool complete
        = result.refused.isEmpty() && result.missing.isEmpty() && result.failedWrite.isEmpty();
    result.outcome = complete ? Outcome::Done : Outcome::Partial;
    return result;
}

void RegisterSettingsFile::writeAll(const QList<RegisterValue> &values, const RegisterIo &io,
                                    Result &result)
{
    for (int i = 0; i < values.size(); ++i) {
        const RegisterValue &value = values.at(i);
        if (io.write(value.entry->address, value.value) == replySuccess) {
            result.written.append(value.entry->name);
            continue;
        }
        // A chip that did not take one value is not to be given the rest blindly.
        result.failedWrite = value.entry->name;
        for (int rest = i + 1; rest < values.size(); ++rest)
            result.notWritten.append(values.at(rest).entry->name);
        return;
    }
}

RegisterSettingsFile::Result RegisterSettingsFile::exportSource(const QString &path,
                                                                const RegisterMapEntry *map,
                                                                const QString &moduleName,
                                                                const RegisterIo &io)
{
    Result result;
    QList<RegisterValue> values;
    if (!readForWriting(map, io, &result, &values))
        return result;

    // A device, a pipe or a folder (or a link to one) is not replaced by a file.
    const QString notAFile = RegularFile::nonFileKind(path);
    if (!notAFile.isEmpty())
        return failure(Outcome::FileNotWritable, notAFile);

    const bool replacing = QFileInfo::exists(path);
    const QString problem = RegularFile::replace(path, sourceText(moduleName, values).toLatin1());
    if (!problem.isEmpty())
        return failure(Outcome::FileNotWritable, replacing ? problem + keptAsItWas : problem);
    return result;
}

QString RegisterSettingsFile::sourceLine(const QString &moduleName, const RegisterMapEntry &entry,
                                         qint32 value)
{
    const QString address = QString::number(entry.address, 16).rightJustified(2, QLatin1Char('0'));
    // Widened with its sign, so a value with bit 31 set reads as sixteen digits.
    const QString valueText = entry.hex
        ? QLatin1String("0x") + QString::number(quint64(qint64(value)), 16)
        : QString::number(value);
    return QLatin1String("KVN") + moduleName + QLatin1String("SetRegister(0x") + address
        + QLatin1String(", ") + valueText + QLatin1String(");  //") + entry.name;
}

QString RegisterSettingsFile::sourceText(const QString &moduleName,
                                         const QList<RegisterValue> &values)
{
    QString text;
    for (const RegisterValue &value : values)
        text += sourceLine(moduleName, *value.entry, value.value) + QLatin1Char('\n');
    return text;
}

bool RegisterSettingsFile::parseValue(const RegisterMapEntry &entry, const QString &text,
                                      qint32 *value, QString *reason)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        *reason = QStringLiteral("no value");
        return false;
    }
    // A hexadecimal register has no editor bounds: any 32-bit pattern is a value of it.
    const bool anyPattern = entry.hex || entry.min >= entry.max;
    const qint64 lowest = anyPattern ? qint64(std::numeric_limits<qint32>::min()) : entry.min;
    const qint64 highest = anyPattern ? qint64(std::numeric_limits<quint32>::max()) : entry.max;
    bool isNumber = false;
    const qint64 number = trimmed.toLongLong(&isNumber, 10);
    // Digits beyond what 64 bits hold are still a decimal number, only far out of range.
    const bool beyond64Bits = !isNumber && isDecimalDigits(trimmed);
    if (!isNumber && !beyond64Bits) {
        *reason = QStringLiteral("not a decimal number");
        return false;
    }
    if (beyond64Bits || number < lowest || number > highest) {
        *reason = QStringLiteral("outside %1 ... %2").arg(lowest).arg(highest);
        return false;
    }
    *value = qint32(quint32(quint64(number)));
    return true;
}
