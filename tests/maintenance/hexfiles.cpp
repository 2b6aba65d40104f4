#include "hexfiles.h"

#include "maintenance/firmwareimage.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace HexFiles {

QByteArray record(quint8 type, quint16 offset, const QByteArray &data)
{
    return intelHexRecord(type, offset, data);
}

QByteArray endRecord()
{
    return record(1, 0, QByteArray());
}

QByteArray firmware(int size, const QByteArray &version, int versionAt)
{
    QByteArray bytes(size, '\0');
    // Bytes above 0x7F: never a digit nor 'V'.
    for (int i = 0; i < size; ++i)
        bytes[i] = char(0x80 | ((i * 37 + i / 251) & 0x7F));
    if (versionAt >= 0 && versionAt + version.size() <= size)
        bytes.replace(versionAt, version.size(), version);
    return bytes;
}

QString writeFile(const QString &directory, const QString &name, const QByteArray &contents)
{
    const QString path = QDir(directory).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    file.write(contents);
    return path;
}

QString writeWithObjcopy(const QString &directory, const QString &name, const QByteArray &bytes,
                         quint32 address)
{
    const QString binary = writeFile(directory, name + QStringLiteral(".bin"), bytes);
    const QString hex = QDir(directory).filePath(name);
    QProcess objcopy;
    objcopy.start(QStringLiteral("objcopy"),
                  {QStringLiteral("-I"), QStringLiteral("binary"), QStringLiteral("-O"),
                   QStringLiteral("ihex"), QStringLiteral("--change-section-address"),
                   QStringLiteral(".data+0x%1").arg(address, 0, 16), binary, hex});
    if (!objcopy.waitForFinished(30000) || objcopy.exitStatus() != QProcess::NormalExit
        || objcopy.exitCode() != 0)
        return QString();
    return hex;
}

} // namespace HexFiles
