#include "controlinterpreter.h"

#include "boardsim/bootloadercontrol.h"
#include "boardsim/simulatedboard.h"

namespace boardsim {

namespace {

QString ok(const QString &text = QString())
{
    return text.isEmpty() ? QStringLiteral("ok\n") : QStringLiteral("ok %1\n").arg(text);
}

QString error(const QString &text)
{
    return QStringLiteral("error %1\n").arg(text);
}

// Decimal, or hexadecimal with "0x"; negative values for signed registers.
bool parseNumber(const QString &text, qint64 *number)
{
    bool valid = false;
    const bool negative = text.startsWith(QLatin1Char('-'));
    const QString digits = negative ? text.mid(1) : text;
    qint64 value = digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
        ? digits.mid(2).toLongLong(&valid, 16)
        : digits.toLongLong(&valid, 10);
    if (!valid)
        return false;
    *number = negative ? -value : value;
    return true;
}

bool parseAddress(const QString &text, quint8 *address)
{
    qint64 number = 0;
    if (!parseNumber(text, &number) || number < 0 || number > 0x7F)
        return false;
    *address = quint8(number);
    return true;
}

bool parseSwitch(const QStringList &words, int index, bool *on)
{
    if (words.size() <= index) {
        *on = true;
        return true;
    }
    const QString word = words.at(index).toLower();
    if (word == QLatin1String("on") || word == QLatin1String("1")) {
        *on = true;
        return true;
    }
    if (word == QLatin1String("off") || word == QLatin1String("0")) {
        *on = false;
        return true;
    }
    return false;
}

QString registerLine(quint8 address, quint32 value)
{
    return QStringLiteral("0x%1 0x%2 %3")
        .arg(address, 2, 16, QLatin1Char('0'))
        .arg(value, 8, 16, QLatin1Char('0'))
        .arg(qint32(value));
}

} // namespace

ControlInterpreter::ControlInterpreter(SimulatedBoard *board)
    : board(board)
{ }

QString ControlInterpreter::helpText()
{
    return QStringLiteral(
               "get ADDR                 register value (no read side effects): ok 0xAA 0xVVVVVVVV "
               "DEC\n"
               "set ADDR VALUE           set a register as the chip would (read-only ones too)\n"
               "dump                     every register of the chip, one per line\n"
               "log [clear|requests]     register writes received, in order (or the raw requests)\n"
               "load MOTOR LOAD          mechanical load of motor 1 or 2 (0..1023)\n"
               "input NAME LEVEL         pin level 0/1; NAME: %1\n"
               "driver MOTOR COND 0|1    power stage of motor 1 or 2 in that state or not; COND: "
               "%2\n"
               "fault silence N          ignore the next N requests\n"
               "fault delay MS           answer MS milliseconds late (0: at once)\n"
               "fault split [on|off]     send each reply in two pieces\n"
               "fault checksum N         the next N replies carry a wrong checksum\n"
               "fault garbage N|0xHEX    bytes ahead of the next reply (0: none)\n"
               "fault brownout [on|off]  status 11 for chip commands; off: the chip restarts\n"
               "fault unknown [on|off]   answer every command with the unknown-command status\n"
               "fault refuse ADDR N      refuse the next N writes to ADDR (reads go on)\n"
               "fault typebyte [on|off]  replies carry the request's type, not its command, in "
               "byte 3\n"
               "fault clear              all faults off\n"
               "unplug                   close the pty and take the device away\n"
               "replug [NAME]            a new pty, under the same or a new port name\n"
               "clock SCALE              run the simulated clock SCALE times real time\n"
               "version TEXT             the firmware version answered\n"
               "status                   chip, port, device path, pty\n"
               "help                     this list\n")
               .arg(inputNames().join(QLatin1Char(' ')),
                    driverConditionNames().join(QLatin1Char(' ')))
        + bootLoaderHelpText();
}

QString ControlInterpreter::execute(const QString &line)
{
    const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return error(QStringLiteral("empty command"));
    const QString command = words.first().toLower();
    if (command == QLatin1String("get"))
        return get(words);
    if (command == QLatin1String("set"))
        return set(words);
    if (command == QLatin1String("dump"))
        return dump();
    if (command == QLatin1String("log"))
        return log(words);
    if (command == QLatin1String("load"))
        return load(words);
    if (command == QLatin1String("input"))
        return input(words);
    if (command == QLatin1String("driver"))
        return driver(words);
    if (command == QLatin1String("fault"))
        return fault(words);
    if (command == QLatin1String("unplug")) {
        board->unplug();
        return ok();
    }
    if (command == QLatin1String("replug"))
        return replug(words);
    if (command == QLatin1String("clock"))
        return clock(words);
    if (command == QLatin1String("version"))
        return version(words, line);
    if (command == QLatin1String("status"))
        return status();
    if (command == QLatin1String("flash") || command == QLatin1String("boot"))
        return bootLoaderCommand(board, words);
    if (command == QLatin1String("help"))
        return helpText() + ok();
    return error(QStringLiteral("unknown command \"%1\" (try help)").arg(words.first()));
}

QString ControlInterpreter::get(const QStringList &words)
{
    quint8 address = 0;
    if (words.size() != 2 || !parseAddress(words.at(1), &address))
        return error(QStringLiteral("usage: get ADDR (0x00..0x7f)"));
    return ok(registerLine(address, board->registerValue(address)));
}

QString ControlInterpreter::set(const QStringList &words)
{
    quint8 address = 0;
    qint64 value = 0;
    if (words.size() != 3 || !parseAddress(words.at(1), &address)
        || !parseNumber(words.at(2), &value) || value < -2147483648LL || value > 0xFFFFFFFFLL)
        return error(QStringLiteral("usage: set ADDR VALUE"));
    if (!board->registerExists(address))
        return error(
            QStringLiteral("the chip has no register 0x%1").arg(address, 2, 16, QLatin1Char('0')));
    board->setRegisterValue(address, quint32(value));
    return ok(registerLine(address, board->registerValue(address)));
}

QString ControlInterpreter::dump()
{
    QString text;
    for (int address = 0; address < 0x80; ++address) {
        if (!board->registerExists(quint8(address)))
            continue;
        text += registerLine(quint8(address), board->registerValue(quint8(address)))
            + QLatin1Char(' ') + board->registerName(quint8(address)) + QLatin1Char('\n');
    }
    return text + ok();
}

QString ControlInterpreter::log(const QStringList &words)
{
    const QString option = words.value(1).toLower();
    if (option == QLatin1String("clear")) {
        board->clearWriteLog();
        board->clearRequestLog();
        return ok();
    }
    QString text;
    if (option == QLatin1String("requests")) {
        for (const QByteArray &request : board->requestLog())
            text += QString::fromLatin1(request.toHex(' ')) + QLatin1Char('\n');
        return text + ok();
    }
    if (!option.isEmpty())
        return error(QStringLiteral("usage: log [clear|requests]"));
    for (const auto &write : board->writeLog())
        text += registerLine(write.first, write.second) + QLatin1Char('\n');
    return text + ok();
}

QString ControlInterpreter::load(const QStringList &words)
{
    qint64 motor = 0;
    qint64 value = 0;
    if (words.size() != 3 || !parseNumber(words.at(1), &motor) || motor < 1 || motor > 2
        || !parseNumber(words.at(2), &value) || value < 0 || value > 1023)
        return error(QStringLiteral("usage: load MOTOR(1|2) LOAD(0..1023)"));
    board->setMechanicalLoad(int(motor), int(value));
    return ok();
}

QString ControlInterpreter::input(const QStringList &words)
{
    Input pin;
    bool level = false;
    if (words.size() != 3 || !inputFromName(words.at(1), &pin) || !parseSwitch(words, 2, &level))
        return error(QStringLiteral("usage: input NAME 0|1 (NAME: %1)")
                         .arg(inputNames().join(QLatin1Char(' '))));
    board->setInput(pin, level);
    return ok();
}

QString ControlInterpreter::driver(const QStringList &words)
{
    qint64 motor = 0;
    DriverCondition condition;
    bool on = true;
    if (words.size() < 3 || words.size() > 4 || !parseNumber(words.at(1), &motor) || motor < 1
        || motor > 2 || !driverConditionFromName(words.at(2), &condition)
        || !parseSwitch(words, 3, &on))
        return error(QStringLiteral("usage: driver MOTOR(1|2) COND [on|off] (COND: %1)")
                         .arg(driverConditionNames().join(QLatin1Char(' '))));
    board->setDriverCondition(int(motor), condition, on);
    return ok();
}

QString ControlInterpreter::fault(const QStringList &words)
{
    const QString kind = words.value(1).toLower();
    qint64 number = 0;
    bool on = true;
    const bool hasNumber = words.size() == 3 && parseNumber(words.at(2), &number) && number >= 0;
    if (kind == QLatin1String("silence") && hasNumber) {
        board->setSilentFor(int(number));
    } else if (kind == QLatin1String("delay") && hasNumber) {
        board->setReplyDelayMs(int(number));
    } else if (kind == QLatin1String("checksum") && hasNumber) {
        board->setWrongChecksumFor(int(number));
    } else if (kind == QLatin1String("split") && parseSwitch(words, 2, &on)) {
        board->setSplitReplies(on);
    } else if (kind == QLatin1String("brownout") && parseSwitch(words, 2, &on)) {
        board->setBrownOut(on);
    } else if (kind == QLatin1String("unknown") && parseSwitch(words, 2, &on)) {
        board->setUnknownCommandStatus(on);
    } else if (kind == QLatin1String("typebyte") && parseSwitch(words, 2, &on)) {
        board->setTypeInCommandByte(on);
    } else if (kind == QLatin1String("refuse") && words.size() == 4) {
        qint64 address = 0;
        qint64 count = 0;
        if (!parseNumber(words.at(2), &address) || address < 0 || address > 0x7F
            || !parseNumber(words.at(3), &count) || count < 0)
            return error(QStringLiteral("usage: fault refuse ADDR N"));
        board->refuseWrites(quint8(address), int(count));
    } else if (kind == QLatin1String("clear") && words.size() == 2) {
        board->clearFaults();
    } else if (kind == QLatin1String("garbage") && words.size() == 3) {
        const QString argument = words.at(2);
        QByteArray bytes;
        if (argument == QLatin1String("0")) {
            // No garbage: bytes still waiting for the next reply are not sent.
            board->dropGarbage();
            return ok();
        }
        if (argument.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
            bytes = QByteArray::fromHex(argument.mid(2).toLatin1());
        } else if (hasNumber && number <= 4096) {
            // Bytes that cannot start a reply, so a reader cannot mistake them for one.
            for (int i = 0; i < number; ++i)
                bytes.append(char(0xE5 + i % 16));
        }
        if (bytes.isEmpty())
            return error(QStringLiteral("usage: fault garbage N|0xHEX"));
        board->injectGarbage(bytes);
    } else {
        return error(QStringLiteral("usage: fault silence N | delay MS | split [on|off] | "
                                    "checksum N | garbage N|0xHEX | brownout [on|off] | "
                                    "unknown [on|off] | typebyte [on|off] | refuse ADDR N | "
                                    "clear"));
    }
    return ok();
}

QString ControlInterpreter::replug(const QStringList &words)
{
    if (words.size() > 2)
        return error(QStringLiteral("usage: replug [NAME]"));
    if (!board->replug(words.value(1)))
        return error(board->errorString());
    return ok(board->devicePath());
}

QString ControlInterpreter::clock(const QStringList &words)
{
    bool valid = false;
    const double scale = words.value(1).toDouble(&valid);
    if (words.size() != 2 || !valid || scale < 0)
        return error(QStringLiteral("usage: clock SCALE (1: real time)"));
    board->setClockScale(scale);
    return ok();
}

QString ControlInterpreter::version(const QStringList &words, const QString &line)
{
    if (words.size() < 2)
        return ok(QString::fromLatin1(board->firmwareVersion()));
    // Everything after the command word, as typed.
    const QString text = line.trimmed().mid(words.first().size()).trimmed();
    board->setFirmwareVersion(text.toLatin1());
    return ok();
}

QString ControlInterpreter::status()
{
    return ok(QStringLiteral("KVN%1 port=%2 device=%3 pty=%4 plugged=%5 clock=%6")
                  .arg(QLatin1String(chipIdentity(board->chip()).number), board->portName(),
                       board->devicePath(), board->ptyPath(),
                       board->isPlugged() ? QStringLiteral("yes") : QStringLiteral("no"))
                  .arg(board->clockScale()));
}

} // namespace boardsim
