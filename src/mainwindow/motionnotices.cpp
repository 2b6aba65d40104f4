#include "mainwindow/motionnotices.h"

#include "dialogs/chipregisters.h"
#include "dialogs/registermap.h"

#include <QScopedValueRollback>

namespace {

// "VMAX (0x27)": the register as the register table names it, without its motor.
QString registerText(quint8 address)
{
    const RegisterMapEntry *entry = findRegisterMapEntry(registerMap3162, address);
    QString name = entry ? entry->name : QString();
    if (name.endsWith(QLatin1String("_1")) || name.endsWith(QLatin1String("_2")))
        name.chop(2);
    return QStringLiteral("%1 (0x%2)").arg(name, QString::number(address, 16).toUpper());
}

QString causeText(const MotionNotices::FailedWrite &write)
{
    const QString named = QStringLiteral("%1 of Motor %2")
                              .arg(registerText(write.address))
                              .arg(chipregisters::motorOf(write.address));
    switch (write.failure) {
    case MotionNotices::Failure::Unanswered:
        return QStringLiteral("No reply to %1").arg(named);
    case MotionNotices::Failure::Garbled:
        return QStringLiteral("The reply to %1 came garbled").arg(named);
    case MotionNotices::Failure::Refused:
        break;
    }
    return QStringLiteral("The chip did not take %1").arg(named);
}

QString motorsText(const QList<int> &motors)
{
    if (motors.size() == 2)
        return QStringLiteral("Motors 1 and 2");
    return QStringLiteral("Motor %1").arg(motors.value(0));
}

bool validMotor(int motor)
{
    return motor == 1 || motor == 2;
}

} // namespace

MotionNotices::MotionNotices(QObject *parent)
    : QObject(parent)
{ }

void MotionNotices::setStandingCheck(std::function<bool(int motor)> check)
{
    m_standingCheck = std::move(check);
}

QString MotionNotices::turningNotice() const
{
    for (auto notice = m_notices.crbegin(); notice != m_notices.crend(); ++notice) {
        if (notice->kind == Kind::Dial || notice->expires.hasExpired())
            continue;
        for (const MotorFate &fate : notice->motors) {
            if (mayTurn(fate))
                return notice->text;
        }
    }
    return QString();
}

void MotionNotices::commandSettled(const Command &command)
{
    prune();
    // The stop, sent once more, was taken; a reply that came garbled leaves nothing to tell when
    // the chip holds what was written.
    const bool resent = !command.start && command.mayTurn.isEmpty();
    const bool nothingToTell = !command.failed
        || (resent && command.failed->failure == Failure::Garbled && command.failed->heldByChip);
    // Whatever was told of these motors is over: this command is the newest word on them.
    release(command.motors, !nothingToTell);
    if (nothingToTell)
        return;
    const FailedWrite &failed = *command.failed;
    Notice notice(resent ? Kind::StopResent : Kind::Command);
    notice.boardWasGone = command.sentNothing && command.owed;
    if (!notice.boardWasGone) {
        notice.cause = causeText(failed);
        notice.named = failed;
    }
    notice.untilBack = command.owed;
    notice.readTells = !command.failedRewritten;
    for (int motor : command.motors)
        notice.motors << MotorFate {motor, !command.mayTurn.contains(motor)};
    add(notice);
}

void MotionNotices::owedStopTaken(const QList<int> &motors, const std::optional<FailedWrite> &lost)
{
    prune();
    release(motors, true);
    Notice notice(Kind::OwedStop);
    notice.boardWasGone = !lost;
    if (lost)
        notice.cause = causeText(*lost);
    for (int motor : motors)
        notice.motors << MotorFate {motor, true};
    add(notice);
}

void MotionNotices::dialTurnFailed(const DialTurn &turn)
{
    prune();
    for (int i = int(m_notices.size()) - 1; i >= 0; --i) {
        if (m_notices.at(i).kind == Kind::Dial
            && m_notices.at(i).named->address == turn.write.address)
            withdraw(i);
    }
    Notice notice(Kind::Dial);
    notice.cause = causeText(turn.write);
    notice.named = turn.write;
    notice.motors << MotorFate {turn.motor, true};
    notice.dialShown = turn.shown;
    notice.dialShownRead = turn.shownRead;
    add(notice);
}

void MotionNotices::registerTaken(quint8 address)
{
    prune();
    for (int i = int(m_notices.size()) - 1; i >= 0; --i) {
        if (m_notices.at(i).named && m_notices.at(i).named->address == address)
            dropCause(i);
    }
}

void MotionNotices::registerRead(quint8 address, int value)
{
    prune();
    for (int i = int(m_notices.size()) - 1; i >= 0; --i) {
        const Notice &notice = m_notices.at(i);
        if (!notice.named || !notice.readTells || notice.named->address != address)
            continue;
        // The chip holds what it was said to lack, or what the dial was said to show instead.
        if (notice.named->value == value || notice.dialShown == value)
            dropCause(i);
    }
}

void MotionNotices::actualVelocityRead(int motor, int velocity)
{
    if (!validMotor(motor))
        return;
    m_velocity[motor - 1] = velocity;
    prune();
    const auto find = [this, motor]() -> std::pair<int, MotorFate *> {
        for (int i = 0; i < m_notices.size(); ++i) {
            if (m_notices.at(i).kind == Kind::Dial)
                continue;
            for (MotorFate &fate : m_notices[i].motors) {
                if (fate.motor == motor)
                    return {i, &fate};
            }
        }
        return {-1, nullptr};
    };
    auto [index, fate] = find();
    if (!fate)
        return;
    Seen seen = velocity == 0 ? Seen::Standing : Seen::Moving;
    if (!fate->stopTaken && seen == Seen::Standing && fate->seen != Seen::Standing) {
        // At 0 on its way round, or to a target: only the chip's set-up tells. The reads it takes
        // may run anything, this class's own slots too; what they change is shown with the rest.
        bool keptStanding = false;
        {
            const QScopedValueRollback<bool> settling(m_settling, true);
            keptStanding = m_standingCheck && m_standingCheck(motor);
        }
        std::tie(index, fate) = find();
        if (fate)
            fate->seen = keptStanding ? Seen::Standing : Seen::Moving;
        for (int i = 0; i < m_notices.size(); ++i) {
            if (std::exchange(m_notices[i].dirty, false) || (fate && i == index))
                publish(m_notices[i], false);
        }
        return;
    }
    // A motor seen standing after a stop the chip took, and then moving, was set moving anew: that
    // stop is over.
    if (fate->stopTaken && fate->seen == Seen::Standing && seen == Seen::Moving) {
        release({motor});
        return;
    }
    fate->seen = seen;
    publish(m_notices[index], false);
}

void MotionNotices::chipChanged()
{
    for (int i = int(m_notices.size()) - 1; i >= 0; --i)
        withdraw(i);
    m_velocity[0].reset();
    m_velocity[1].reset();
}

void MotionNotices::add(Notice notice)
{
    m_notices << notice;
    publish(m_notices.last(), true);
}

void MotionNotices::publish(Notice &notice, bool fresh)
{
    bool allStand = true;
    for (const MotorFate &fate : std::as_const(notice.motors))
        allStand = allStand && (notice.kind == Kind::Dial || stands(fate));
    const int timeout = allStand ? standingNoticeMs : 0;
    if (!fresh && m_settling) {
        notice.dirty = true;
        return;
    }
    const QString text = compose(notice);
    if (!fresh && text == notice.text)
        return;
    if (fresh)
        Q_EMIT shown(text, timeout);
    else
        Q_EMIT replaced(notice.text, text, timeout);
    notice.text = text;
    notice.expires = timeout ? QDeadlineTimer(timeout) : QDeadlineTimer(QDeadlineTimer::Forever);
}

void MotionNotices::withdraw(int index)
{
    const QString text = m_notices.takeAt(index).text;
    Q_EMIT replaced(text, QString(), 0);
}

void MotionNotices::release(const QList<int> &motors, bool replaced)
{
    for (int i = int(m_notices.size()) - 1; i >= 0; --i) {
        Notice &notice = m_notices[i];
        const auto removed = notice.motors.removeIf(
            [&motors](const MotorFate &fate) { return motors.contains(fate.motor); });
        if (!removed)
            continue;
        if (notice.motors.isEmpty() && replaced)
            m_notices.removeAt(i);
        else if (notice.motors.isEmpty())
            withdraw(i);
        else
            publish(notice, false);
    }
}

void MotionNotices::dropCause(int index)
{
    Notice &notice = m_notices[index];
    bool feared = false;
    for (const MotorFate &fate : std::as_const(notice.motors))
        feared = feared || (notice.kind != Kind::Dial && mayTurn(fate));
    // The fear that a motor turns outlives the refusal that raised it.
    if (!feared) {
        withdraw(index);
        return;
    }
    notice.cause.clear();
    notice.named.reset();
    publish(notice, false);
}

void MotionNotices::prune()
{
    m_notices.removeIf([](const Notice &notice) { return notice.expires.hasExpired(); });
}

bool MotionNotices::stands(const MotorFate &fate) const
{
    switch (fate.seen) {
    case Seen::Standing:
        return true;
    case Seen::Moving:
        return false;
    case Seen::NotYet:
        break;
    }
    // Before the poll reads it again, a motor whose stop was taken does what it was last read
    // doing: standing, or braking.
    return fate.stopTaken && m_velocity[fate.motor - 1] == 0;
}

QString MotionNotices::verb(const MotorFate &fate, bool plural) const
{
    if (stands(fate))
        return plural ? QStringLiteral("stand") : QStringLiteral("stands");
    if (fate.stopTaken)
        return plural ? QStringLiteral("are stopping") : QStringLiteral("is stopping");
    return QStringLiteral("may still be turning");
}

QString MotionNotices::compose(const Notice &notice) const
{
    if (notice.kind == Kind::Dial) {
        if (!notice.dialShown)
            return notice.cause + QLatin1Char('.');
        return notice.cause
            + (notice.dialShownRead
                   ? QStringLiteral(": the dial shows the chip's %1.").arg(*notice.dialShown)
                   : QStringLiteral(": the dial shows %1, the last value the chip confirmed.")
                         .arg(*notice.dialShown));
    }

    // "Motors 1 and 2 stand", "Motor 1 stands and Motor 2 may still be turning".
    QList<int> motors;
    QStringList verbs;
    bool allMayTurn = true;
    bool anyMayTurn = false;
    for (const MotorFate &fate : notice.motors) {
        motors << fate.motor;
        verbs << verb(fate, false);
        allMayTurn = allMayTurn && mayTurn(fate);
        anyMayTurn = anyMayTurn || mayTurn(fate);
    }
    QString clause;
    if (motors.size() == 2 && verb(notice.motors.at(0), true) == verb(notice.motors.at(1), true))
        clause = motorsText(motors) + QLatin1Char(' ') + verb(notice.motors.at(0), true);
    else {
        QStringList each;
        for (int i = 0; i < motors.size(); ++i)
            each << motorsText({motors.at(i)}) + QLatin1Char(' ') + verbs.at(i);
        clause = each.join(QLatin1String(" and "));
    }

    switch (notice.kind) {
    case Kind::OwedStop:
        if (notice.boardWasGone)
            return QStringLiteral("The board was gone: the chip took the owed stop, and %1.")
                .arg(clause);
        if (notice.cause.isEmpty())
            return QStringLiteral("The chip took the owed stop, and %1.").arg(clause);
        return QStringLiteral("%1: the chip took the owed stop, and %2.").arg(notice.cause, clause);
    case Kind::StopResent:
        if (notice.cause.isEmpty())
            return clause + QLatin1Char('.');
        return QStringLiteral("%1: the stop was sent once more, and %2.").arg(notice.cause, clause);
    case Kind::Command:
    case Kind::Dial:
        break;
    }
    // What the user needs first leads, so that a narrow status bar still shows it.
    const bool untilBack = notice.untilBack && anyMayTurn;
    if (notice.boardWasGone)
        return QStringLiteral("The board is gone: %1%2")
            .arg(clause, untilBack ? QStringLiteral(" until it is back.") : QStringLiteral("."));
    const QString tail
        = untilBack ? QStringLiteral(" until the board is back.") : QStringLiteral(".");
    if (notice.cause.isEmpty())
        return clause + tail;
    if (allMayTurn && notice.named && notice.named->failure != Failure::Unanswered)
        return QStringLiteral("%1, and %2%3").arg(notice.cause, clause, tail);
    return QStringLiteral("%1: %2%3").arg(notice.cause, clause, tail);
}
