#pragma once

#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

// What the status bar says of the motors: what the chip did not take of a motion command or of a
// dial turn, and what became of the motors the command was for. The motion panel reports what
// happened to each command; the status poll reports what the chip shows of each motor.
//
// What a motor does is never guessed from a command: it "stands" once the chip was read showing
// it standing, "is stopping" while it is read moving after a stop the chip took, and "may still
// be turning" while no stop was taken. The text follows the poll, and a notice goes as soon as
// nothing it says holds: a later command for its motors taken, a taken write of the register it
// names, a read showing the chip holding the value it says the chip lacks. A motor belongs to
// one notice at a time, the newest.
class MotionNotices : public QObject
{
    Q_OBJECT

public:
    enum class Failure {
        Refused, // the chip answered that it did not take the write
        Unanswered, // no reply: the link went down with it
        Garbled // a reply came, but not whole: the chip may well have taken it
    };
    struct FailedWrite
    {
        quint8 address = 0;
        int value = 0;
        Failure failure = Failure::Refused;
        // A garbled reply whose register the chip was then read holding the value written.
        bool heldByChip = false;
    };
    // What became of a command for these motors.
    struct Command
    {
        QList<int> motors;
        std::optional<FailedWrite> failed; // none: the chip took every write
        bool start = false; // a start, ended by the failure; else a stop, sent once more
        bool sentNothing = false; // the board was gone before anything was written
        QList<int> mayTurn; // the motors whose stop the chip did not take
        bool owed = false; // their stop is owed until the board is back
        // The stop that followed the failure wrote its register again: a read of it tells
        // nothing of the failed write.
        bool failedRewritten = false;
    };
    // A dial turn the chip did not take: the dial shows `shown`, read from the chip (shownRead)
    // or the last value the chip confirmed; nothing when neither is known.
    struct DialTurn
    {
        int motor = 1;
        FailedWrite write;
        std::optional<int> shown;
        bool shownRead = false;
    };

    // How long a notice stays once every motor it names stands.
    static constexpr int standingNoticeMs = 10000;

    explicit MotionNotices(QObject *parent = nullptr);

    // Asked when the poll reads a motor whose stop was not taken at speed 0: whether the chip
    // keeps it standing there (no speed to reach, hold mode, its target reached).
    void setStandingCheck(std::function<bool(int motor)> check);
    // The notice that a motor may still be turning, while one says so; empty otherwise.
    QString turningNotice() const;

public Q_SLOTS:
    void commandSettled(const MotionNotices::Command &command);
    // The stop owed since the link was lost was taken at the next connection; `lost` is the
    // write that got no reply, none when the board was gone before the command wrote anything.
    void owedStopTaken(const QList<int> &motors,
                       const std::optional<MotionNotices::FailedWrite> &lost);
    void dialTurnFailed(const MotionNotices::DialTurn &turn);
    // The chip took a write of this register, from anywhere.
    void registerTaken(quint8 address);
    // A read of the chip brought this value.
    void registerRead(quint8 address, int value);
    // The poll read the motor's actual velocity (VACTUAL).
    void actualVelocityRead(int motor, int velocity);
    // Another chip: nothing told of the motors holds for it.
    void chipChanged();

Q_SIGNALS:
    // A notice for the status bar and the log; a time-out of 0 keeps it.
    void shown(const QString &text, int timeout);
    // The notice `text` now reads `by` (withdrawn when empty), shown for `timeout` milliseconds
    // in its place if the status bar still shows it.
    void replaced(const QString &text, const QString &by, int timeout);

private:
    enum class Kind {
        Command, // a start or stop taken only in part
        StopResent, // a stop whose failed write was sent once more
        OwedStop, // the stop owed since the link's loss, taken
        Dial // a dial turn not taken
    };
    enum class Seen { NotYet, Standing, Moving };
    struct MotorFate
    {
        int motor;
        bool stopTaken;
        Seen seen = Seen::NotYet;
    };
    struct Notice
    {
        explicit Notice(Kind of)
            : kind(of)
        { }
        Kind kind;
        QString cause; // empty once it no longer holds
        std::optional<FailedWrite> named; // the write the cause names, while it does
        bool readTells = true; // whether a read of the named register tells of its write
        bool dirty = false; // changed while a poll reading was being settled
        QList<MotorFate> motors;
        bool untilBack = false;
        bool boardWasGone = false;
        std::optional<int> dialShown;
        bool dialShownRead = false;
        QString text; // as last shown
        QDeadlineTimer expires {QDeadlineTimer::Forever};
    };

    void add(Notice notice);
    // Shows the notice anew (fresh) or in place of its last text.
    void publish(Notice &notice, bool fresh);
    void withdraw(int index);
    // The motors no longer belong to their notices; a notice goes when nothing of it is left,
    // quietly when a new notice takes its place on the status bar.
    void release(const QList<int> &motors, bool replaced = false);
    void dropCause(int index);
    void prune();
    QString compose(const Notice &notice) const;
    QString verb(const MotorFate &fate, bool plural) const;
    bool stands(const MotorFate &fate) const;
    bool mayTurn(const MotorFate &fate) const { return !fate.stopTaken && !stands(fate); }

    std::function<bool(int motor)> m_standingCheck;
    // Set while a poll reading is being settled: the notices it changes are shown once, at its end.
    bool m_settling = false;
    QList<Notice> m_notices;
    // What the poll last read of each motor's speed.
    std::optional<int> m_velocity[2];
};
