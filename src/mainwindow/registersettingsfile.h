#pragma once

#include "dialogs/registermap.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

// How the register files reach the chip. A read that fails gives 0, exactly as a register that
// holds 0 does, so readFailed tells the two apart: it is asked right after each read.
struct RegisterIo
{
    std::function<qint32(quint8 address)> read;
    // True when the read just made brought no value of the chip (no reply, a brown-out, the
    // chip being detected). Unset: every read counts as good.
    std::function<bool()> readFailed;
    // Answers the reply status: 100 when the chip took the value.
    std::function<int(quint8 address, qint32 value)> write;
};

// The writable registers of a chip in three forms: a register settings file (INI, group
// "Registers", one decimal value per register name), loaded back into a chip, and lines of source
// text for firmware. Only the writable entries of a register map are touched, in table order.
//
// A file is never built on values the chip did not give: saving and exporting read every
// register first and write nothing when one read fails. Loading writes only what the file holds
// for the connected chip: present keys whose values are numbers within the register's bounds.
class RegisterSettingsFile
{
public:
    static const QString group; // "Registers"
    static constexpr int replySuccess = 100;

    enum class Outcome {
        Done,
        Cancelled, // no file chosen; nothing happened
        NoRegisterMap, // no chip identified yet
        ReadFailed, // a register read failed; no file was written
        FileNotWritable, // the file could not be written; see fileError
        FileNotReadable, // the file to load does not exist or cannot be read
        NotASettingsFile, // the file is no INI file; it was left as it was (and, loading,
                          // nothing was written to the board)
        NoRegistersGroup, // the file has no group "Registers"; nothing was written
        NothingToLoad, // the group holds no usable value for this chip; nothing was written
        Partial, // loaded, but some keys were refused, missing or not written
    };

    struct Refusal
    {
        QString key;
        QString text; // the value as the file holds it
        QString reason;
    };

    struct RegisterValue
    {
        const RegisterMapEntry *entry;
        qint32 value;
    };

    struct Result
    {
        Outcome outcome = Outcome::Done;
        QString fileError; // FileNotWritable, FileNotReadable, NotASettingsFile
        QString failedRead; // ReadFailed: the register whose read failed
        // Loading:
        QStringList written; // registers the chip took, in table order
        QString failedWrite; // the register whose write the chip did not take; loading stopped
        QStringList notWritten; // accepted values left unwritten after failedWrite
        QStringList missing; // writable registers the file has no key for (left as they were)
        QList<Refusal> refused; // keys not written, with the reason
        bool loading = false; // the outcome of a load, which was to write the board

        bool succeeded() const { return outcome == Outcome::Done || outcome == Outcome::Partial; }
    };

    // Reads every writable register of the map in table order; stops at the first failed read
    // and names it in *failedRead. Empty for a null map.
    static QList<RegisterValue> readWritable(const RegisterMapEntry *map, const RegisterIo &io,
                                             QString *failedRead);

    // Saves into `path`; other groups and keys of an existing file are kept.
    static Result save(const QString &path, const RegisterMapEntry *map, const RegisterIo &io);
    static Result load(const QString &path, const RegisterMapEntry *map, const RegisterIo &io);
    // Writes one source line per writable register, replacing the file.
    static Result exportSource(const QString &path, const RegisterMapEntry *map,
                               const QString &moduleName, const RegisterIo &io);

    // "KVN3162SetRegister(0x23, 1000);  //VSTART_1", without a line end.
    static QString sourceLine(const QString &moduleName, const RegisterMapEntry &entry,
                              qint32 value);
    static QString sourceText(const QString &moduleName, const QList<RegisterValue> &values);

    // The value a file's text stands for, when it is a decimal number within the entry's bounds
    // (a hexadecimal register takes any 32-bit pattern, signed or unsigned); else the reason why
    // not.
    static bool parseValue(const RegisterMapEntry &entry, const QString &text, qint32 *value,
                           QString *reason);

private:
    static Result loadInto(const QString &path, const RegisterMapEntry *map, const RegisterIo &io);
    static void writeAll(const QList<RegisterValue> &values, const RegisterIo &io, Result &result);
};
