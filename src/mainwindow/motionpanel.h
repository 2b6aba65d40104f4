#pragma once

#include "mainwindow/motionnotices.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

struct MotionStep;

// The motion panel's behaviour behind the Jog and Ramp Generator tabs: every button is a short,
// fixed sequence of ramp-generator register writes, issued one DoWriteRegister each, so each write
// is on the chip before the next is issued. The panel also owns the state of the four fast-jog
// buttons and the order in which the twenty ramp boxes take register values.
//
// It reads the widgets through Sources at the moment of an action and never touches a widget:
// rampBoxValue and fastJogChecked tell the window what to show.
//
// A command the chip took only in part (a write refused, unanswered, or answered with a bad
// checksum) leaves no motor turning that the user did not set turning: the motors it is for are
// stopped with their tab's own Stop sequence, a stop that fails is sent once more, and the fast
// buttons then show what the chip does. No stop writes AMAX 0, with which the chip never slows,
// and none writes a RAMPMODE after a VMAX 0 the chip did not take: with the old speed still in
// VMAX, RAMPMODE 1 would turn a motor that runs left round to the right at full speed. A stop
// that the link's loss kept from the chip is owed to its motors and sent at the next connection.
//
// A dial turn the chip does not take is not left on the dial: the dial goes back to what the chip
// holds, without a write. What became of each command and turn, and every value the chip was
// read holding or took, goes to MotionNotices, which tells the user.
class MotionPanel : public QObject
{
    Q_OBJECT

public:
    enum Direction { Left, Right };
    Q_ENUM(Direction)

    // The ten ramp-tab boxes of one motor.
    enum RampField { VStart, A1, V1, AMax, VMax, DMax, D1, VStop, TZeroWait, XTarget };
    Q_ENUM(RampField)
    static constexpr int rampFieldCount = 10;

    struct Sources
    {
        // The linear value of the motor's velocity and acceleration dial (motor 1 or 2).
        std::function<int(int motor)> jogVelocity;
        std::function<int(int motor)> jogAcceleration;
        // The value of a ramp-tab box.
        std::function<int(int motor, RampField field)> rampBox;
        // Whether the read or write just made brought nothing of the chip (no reply, a refusal,
        // the chip being detected). Unset: every access counts as good.
        std::function<bool()> readFailed;
        std::function<bool()> writeFailed;
        // Whether the failed write just made had a reply that came garbled: the chip may have
        // taken it. Unset: never.
        std::function<bool()> replyGarbled;
        // Whether the board is gone: nothing written now reaches the chip. Unset: never.
        std::function<bool()> linkDown;
    };

    explicit MotionPanel(QObject *parent = nullptr);

    void setSources(const Sources &sources);

    bool isFastJogChecked(int motor, Direction direction) const;
    // True while the ramp boxes are being given the chip's values (read, announced, or written
    // from the jog tab): nothing the boxes compute from them belongs to the chip.
    bool isShowingChipValues() const { return m_showingChip; }
    // Whether a stop of the motor is owed, to be sent at the next connection to the same chip.
    bool isStopOwed(int motor) const;
    // Whether the chip keeps a motor that shows no speed standing: no VMAX to reach, hold mode,
    // or its target reached in position mode. False when a read brought nothing of the chip.
    bool staysStanding(int motor);

    // The register of a ramp box (motor 2's lie 0x20 above motor 1's); RAMPMODE is 0x20 / 0x40.
    static quint8 rampRegister(int motor, RampField field);
    static quint8 rampModeRegister(int motor);
    // Which box shows a register: false for any address outside the twenty.
    static bool rampFieldOf(quint8 address, int *motor, RampField *field);
    // The order in which boxes take values when several arrive together: VSTOP before VSTART, so
    // that VSTART's maximum (one below VSTOP) is already the new one when VSTART arrives.
    static const RampField *boxFillOrder();

public Q_SLOTS:
    // Jog tab, motor 1 or 2.
    void jogPressed(int motor, MotionPanel::Direction direction);
    void jogReleased(int motor, MotionPanel::Direction direction);
    // The fast-jog button of that direction was toggled (by the user or by the window).
    void fastJogToggled(int motor, MotionPanel::Direction direction, bool checked);
    void jogStop(int motor);
    void jogVelocityChanged(int motor, int value);
    void jogAccelerationChanged(int motor, int value);

    // Ramp Generator tab, motor 1 or 2.
    void moveToTarget(int motor);
    void rotate(int motor, MotionPanel::Direction direction);
    void rampStop(int motor);
    // The " Both Motors " group.
    void moveBothToTarget();
    void rotateBoth(MotionPanel::Direction direction);
    void stopBoth();

    // ">>" copies motor 1's ten boxes to motor 2 (copyRamp(1, 2)), "<<" the other way.
    void copyRamp(int fromMotor, int toMotor);

    // Reads the twenty ramp registers into the boxes, VSTOP before VSTART for each motor. A box
    // the user has changed since it was last sent keeps what it shows (and is not read): a
    // reconnect to a chip that did not restart must not throw the user's typing away. A read
    // that brings nothing of the chip leaves its box as it was: 0 is not what the chip holds.
    void readRampRegisters();
    // The user changed a ramp box; the window reports every change, the panel ignores its own.
    void rampBoxEdited(int motor, MotionPanel::RampField field);
    // The chip started afresh without the link noticing (it was detected again after a
    // brown-out): the boxes take the chip's values at their next reading.
    void forgetRampEdits();
    // A register was written elsewhere (the register table): shows it in its box, if it has one.
    void registerAnnounced(unsigned char address, int value);

    // The board carries another chip than before: nothing the buttons and boxes show belongs to
    // it, so the fast-jog buttons go back to unchecked without writing anything, and the ramp
    // boxes take the chip's values at their next reading. A reconnect to the same chip (the link
    // dropped, or the board was unplugged and plugged again) leaves both as they are: the motor
    // may still be running, and the user's typing stays.
    void chipRestarted();
    // Lights the fast buttons after what each motor's chip does: RAMPMODE 1 with a VMAX other
    // than 0 fast-right, RAMPMODE 2 fast-left, anything else (a read without answer too) none.
    // Writes nothing, and leaves the ramp boxes alone.
    void followChip();
    // Sends the stops that a lost link kept from the chip: the board is back with the same chip.
    void sendOwedStops();

Q_SIGNALS:
    void DoWriteRegister(unsigned char address, int value);
    void DoReadRegister(unsigned char address, int &value);
    // A fast-jog button's checked state changed from here; the window shows it.
    void fastJogChecked(int motor, MotionPanel::Direction direction, bool checked);
    // A ramp box is to show this value.
    void rampBoxValue(int motor, MotionPanel::RampField field, int value);
    // What became of a command: taken, or taken in part and its motors stopped or not.
    void commandSettled(const MotionNotices::Command &command);
    // The stops owed since the link's loss were taken; `lost` is the write that got no reply.
    void owedStopTaken(const QList<int> &motors,
                       const std::optional<MotionNotices::FailedWrite> &lost);
    void dialTurnFailed(const MotionNotices::DialTurn &turn);
    // The chip took a write of the register, or was read holding the value.
    void registerTaken(quint8 address);
    void registerRead(quint8 address, int value);
    // A dial is to show what the chip holds: the speed and acceleration of a fast button lit
    // after the chip, or the value the chip kept when it did not take a turn. Shown, not written.
    void jogVelocityShown(int motor, int value);
    void jogAccelerationShown(int motor, int value);

private:
    enum class Kind {
        Start, // a refused write ends it: the rest would run the motor on a set-up not made
        Stop // every further write helps; an acceleration of 0 becomes the plain stop's
    };
    enum class Tab { Jog, Ramp };

    // What became of a sequence's writes.
    struct Outcome
    {
        std::optional<MotionNotices::FailedWrite> failed; // the first write the chip did not take
        bool linkLost = false; // the link went down: nothing more reaches the chip
        bool sentNothing = false; // the board was gone before the sequence wrote anything
        bool told = false; // a command that the sequence ran as its step told the user already
    };

    // Runs a command for these motors; when the chip took it only in part, stops them. A command
    // that a sequence runs as one of its steps (partOfSequence) is settled with that sequence;
    // any other, even one started while another runs, is settled as its own. True when the chip
    // took every write.
    bool command(const MotionStep *steps, int count, int motor, Direction direction, Kind kind,
                 Tab tab, const QList<int> &motors, bool partOfSequence = false);
    Outcome run(const MotionStep *steps, int count, int motor, Direction direction, Kind kind,
                Tab tab);
    // After a command the chip took only in part: stops each motor (a start's stop is sent
    // twice at most, a stop's once more) and tells the user.
    void takenInPart(const Outcome &outcome, const QList<int> &motors, Kind kind, Tab tab);
    static const MotionStep *stopSteps(int motor, Tab tab);
    bool linkDown() const { return m_sources.linkDown && m_sources.linkDown(); }
    // How a write of the sequence failed; a garbled reply is settled by reading the register.
    MotionNotices::FailedWrite failedWrite(quint8 address, int value);
    // The same, the link gone with the write (lost) or the register read after it (`held`,
    // nothing when it was not or the read brought nothing).
    MotionNotices::FailedWrite failedWrite(quint8 address, int value, bool lost,
                                           std::optional<int> held) const;
    // One read; nothing when it brought no value of the chip.
    std::optional<int> read(quint8 address);
    // One write; true when the chip took it. A jog-tab write the chip took is shown in its
    // ramp box, unless the user has typed there and not sent it yet.
    bool write(quint8 address, int value, bool jogTab);
    // Unchecks a fast jog and runs its stop; false when it was not checked.
    bool uncheckFast(int motor, Direction direction, bool partOfSequence);
    void fastJogOff(int motor, Direction direction, bool partOfSequence);
    // Lights the motor's fast buttons after what its chip does: the way it turns in velocity
    // mode, with its speed and acceleration on the dials; none when it stands, runs to a target,
    // or a read brought nothing of the chip.
    void followMotor(int motor);
    // A dial turned while its motor runs a fast jog: the write, and when the chip does not take
    // it, the dial put back to what the chip holds.
    void dialTurned(int motor, RampField field, int value);
    // Gives a dial (VMax: velocity, AMax: acceleration) the chip's value, writing nothing.
    void showOnDial(int motor, RampField field, int value);
    // The chip holds this value, read or written: kept for the dials' registers.
    void noteChipValue(quint8 address, int value);
    // Lights that fast button of the motor and puts out the other; none with no direction.
    void showFastJog(int motor, std::optional<Direction> lit);
    void setBox(int motor, RampField field, int value);
    void showChipValue(int motor, RampField field, int value);

    Sources m_sources;
    bool m_fast[2][2] = {{false, false}, {false, false}};
    // The motors whose fast buttons follow the chip once the command being settled has ended,
    // because a write of it or of a step of it failed; null outside a command.
    QList<int> *m_follow = nullptr;
    // The tab whose stop each motor is owed, and the write whose loss made it owed.
    struct OwedStop
    {
        Tab tab;
        std::optional<MotionNotices::FailedWrite> lost;
    };
    std::optional<OwedStop> m_stopOwed[2];
    bool m_sendingOwedStops = false;
    // Set while a dial is given the chip's value: nothing to write.
    bool m_showingChipDial = false;
    // What the chip was last known to hold in each motor's VMAX and AMAX, [motor - 1][dial]
    // with dial 0 velocity and 1 acceleration.
    std::optional<int> m_dialOnChip[2][2];
    // The chip's value a dial was given back inside its own turn; the turn announces it once
    // more as it ends, and that announcement is no turn of the user's.
    std::optional<int> m_dialEcho[2][2];
    // Ramp boxes the user changed since they were last sent or read.
    bool m_edited[2][rampFieldCount] = {};
    // Set while the panel itself gives a box a value, and while that value is the chip's.
    bool m_settingBox = false;
    bool m_showingChip = false;
    // A VSTART announced above its box's limit, held until the same motor's VSTOP arrives.
    bool m_vstartPending[2] = {false, false};
    int m_pendingVStart[2] = {0, 0};
};
