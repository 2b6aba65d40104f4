#pragma once

#include <QByteArray>
#include <QString>

// Intel HEX files for the firmware tests, written at test time.
namespace HexFiles {

// One record line with its checksum, e.g. record(0, 0x0010, "\x01\x02") -> ":020010000102EB".
QByteArray record(quint8 type, quint16 offset, const QByteArray &data);
QByteArray endRecord();

// A firmware of `size` bytes that carries `version` at `versionAt` (bytes counted from the
// start) and a pattern elsewhere, in which no version text can appear by chance.
QByteArray firmware(int size, const QByteArray &version, int versionAt = 16);

// Writes `bytes` as an Intel HEX file at `address` with objcopy (binutils); empty text when
// objcopy failed.
QString writeWithObjcopy(const QString &directory, const QString &name, const QByteArray &bytes,
                         quint32 address);

QString writeFile(const QString &directory, const QString &name, const QByteArray &contents);

} // namespace HexFiles
