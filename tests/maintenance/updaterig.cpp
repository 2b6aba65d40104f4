#include "updaterig.h"

#include "boardsim/controlinterpreter.h"
#include "hexfiles.h"
#include "maintenance/firmwarejobs.h"
#include "maintenance/sendfirmware.h"
#include "serial/abstractserial.h"
#include "testenvironment.h"

#include <QDir>
#include <QtTest>

bool UpdateRig::start()
{
    fixture.exportRoots();
    isolateTestEnvironment();
    if (!QDir().mkpath(fixture.devRoot()) || !QDir().mkpath(fixture.sysfsRoot())
        || !fixture.start())
        return false;
    mainLink.init(QString(), &owner);
    mainLink.setAutoStart(port());
    return linkShows(QString::fromLatin1(board().firmwareVersion()));
}

bool UpdateRig::linkShows(const QString &version, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] { return mainLink.serialPort()->isOpen() && mainLink.statusText() == version; },
        timeoutMs);
}

QByteArray UpdateRig::nextVersion()
{
    return QByteArrayLiteral("3141V") + QByteArray::number(110 + versionCount++);
}

QByteArray UpdateRig::firmwareBytes(int size, const QByteArray &version) const
{
    return HexFiles::firmware(size, version, qMin(16, size - version.size()));
}

QString UpdateRig::hexFile(const QString &name, int size, const QByteArray &version,
                           quint32 address)
{
    return HexFiles::writeWithObjcopy(files.path(), name, firmwareBytes(size, version), address);
}

UpdateRig::Outcome UpdateRig::update(SendFirmware &updater, const QString &file,
                                     const QString &onPort)
{
    Outcome outcome;
    QSignalSpy done(&updater, &SendFirmware::done);
    const auto line
        = QObject::connect(&updater, &SendFirmware::msg, [&outcome](const QString &text) {
              outcome.log += QLatin1Char('\n') + text;
          });
    const auto more = QObject::connect(&updater, &SendFirmware::msgInsert,
                                       [&outcome](const QString &text) { outcome.log += text; });
    updater.startUpdate(&mainLink, file, onPort.isEmpty() ? port() : onPort);
    outcome.finished = QTest::qWaitFor(
        [&] { return done.count() == 1 && FirmwareJobs::running() == 0; }, updateTimeoutMs);
    QObject::disconnect(line);
    QObject::disconnect(more);
    if (done.count() == 1) {
        outcome.ok = done.at(0).at(0).toBool();
        outcome.port = done.at(0).at(1).toString();
    }
    return outcome;
}

bool UpdateRig::control(const QString &command, QString *answer, boardsim::SimulatedBoard *on)
{
    boardsim::ControlInterpreter interpreter(on ? on : &board());
    const QString text = interpreter.execute(command);
    if (answer)
        *answer = text;
    return text.startsWith(QLatin1String("ok"));
}

QByteArray UpdateRig::flash(quint32 start, quint32 count, boardsim::SimulatedBoard *on)
{
    QString text;
    control(QStringLiteral("flash dump 0x%1 %2").arg(start, 0, 16).arg(count), &text, on);
    QByteArray bytes;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int colon = line.indexOf(QLatin1String(": "));
        if (colon > 0)
            bytes += QByteArray::fromHex(line.mid(colon + 2).toLatin1());
    }
    return bytes;
}
