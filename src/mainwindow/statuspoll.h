#pragma once

#include <QObject>
#include <QtGlobal>

#include <functional>

class QTimer;

// Reads the chip's status registers without pause while a board is connected: one step of an
// 18-step cycle every 4 ms tick, each step reading one to three registers. Every value read is
// announced through RegisterChanged; the four position and velocity values of steps 0 to 3 go to
// their labels first, so a view that follows both sees the label already set.
class StatusPoll : public QObject
{
    Q_OBJECT

public:
    // The main window's read-only labels fed by the first four steps.
    enum Label { NoLabel = -1, XActual1, VActual1, XActual2, VActual2 };
    Q_ENUM(Label)

    static constexpr int stepCount = 18;
    static constexpr int intervalMs = 4;

    // reader performs one register read and returns its value (0 when it failed).
    explicit StatusPoll(std::function<qint32(quint8)> reader, QObject *parent = nullptr);
    // Asked right after each read: true when that read brought no value of the chip. Such a read
    // is not announced, so labels and dialogs keep the last value the chip gave instead of a 0
    // it never had. Unset: every read counts as good.
    void setReadFailed(std::function<bool()> readFailed);
    // Asked before each step: while it is true (a message box about the link is open and its
    // event loop runs the timer) the step is left out. A step never runs inside another one.
    void setHeld(std::function<bool()> held);

    void start();
    void stop();
    bool isActive() const;

    // The step the next tick performs. It survives stop and start, so after a re-connection the
    // cycle goes on where it stopped.
    int nextStep() const { return m_nextStep; }
    bool rampStatusPoll() const { return m_rampStatusPoll; }
    bool globalStatusPoll() const { return m_globalStatusPoll; }

    // The addresses one whole cycle reads with the given flags, in order.
    static QList<quint8> cycleAddresses(bool rampStatus, bool globalStatus);

public Q_SLOTS:
    // One tick: performs the next step of the cycle.
    void step();
    // Poll the ramp status registers 0x35 and 0x55 too (on at construction).
    void setRampStatusPoll(bool on);
    // Poll the global status register 0x01 too (off at construction).
    void setGlobalStatusPoll(bool on);

Q_SIGNALS:
    // A value for one of the labels, sent before the same value's RegisterChanged.
    void labelValue(StatusPoll::Label label, int value);
    void RegisterChanged(unsigned char address, int value);
    // The last step of a cycle has run.
    void cycleCompleted();

private:
    std::function<qint32(quint8)> m_reader;
    std::function<bool()> m_readFailed;
    std::function<bool()> m_held;
    bool m_stepping = false;
    QTimer *m_timer;
    int m_nextStep = 0;
    bool m_rampStatusPoll = true;
    bool m_globalStatusPoll = false;
};
