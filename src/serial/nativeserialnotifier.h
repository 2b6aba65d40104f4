#pragma once

#include "serial/abstractserialnotifier.h"

#include <QObject>
#include <QTimer>

class QSocketNotifier;

// The notifier on a POSIX descriptor: socket notifiers for reading, writing and exceptional
// conditions, and a short timer that polls the modem lines (ttys have no line-change event).
// The kinds keep the event bits of the comm-event mask they stand in for, so that every
// activation goes through one mask test.
//
// A hang-up (the board unplugged) leaves the descriptor readable for ever; the notifier then
// stops watching and raises the exception notification once, whatever kinds are enabled, so
// that the port's owner learns of it and nothing spins.
class NativeSerialNotifier : public QObject, public AbstractSerialNotifier
{
    Q_OBJECT

public:
    enum EventBit : unsigned {
        EventRxChar = 0x0001,
        EventTxEmpty = 0x0004,
        EventCts = 0x0008,
        EventDsr = 0x0010,
        EventError = 0x0080,
        EventRing = 0x0100,
        LineEvents = EventCts | EventDsr | EventRing
    };
    // Milliseconds between two looks at the modem lines.
    static constexpr int linePollInterval = 50;

    explicit NativeSerialNotifier(AbstractSerialEngine *engine);
    ~NativeSerialNotifier() override;

    bool isReadNotificationEnabled() const override;
    void setReadNotificationEnabled(bool enable) override;
    bool isWriteNotificationEnabled() const override;
    void setWriteNotificationEnabled(bool enable) override;
    bool isExceptionNotificationEnabled() const override;
    void setExceptionNotificationEnabled(bool enable) override;
    bool isLineNotificationEnabled() const override;
    void setLineNotificationEnabled(bool enable) override;
    void dispose() override;
    void inputConsumed() override;

    unsigned mask() const { return m_mask; }
    // Calls the engine's slots for the events in eventWord that the mask lets through, in the
    // order read, write, exception, line; answers whether any was called. Every activation
    // comes here.
    bool processEvents(unsigned eventWord);

private:
    void setKind(unsigned bits, bool enable);
    void setMaskAndActivate();
    bool hangUpDetected();
    int modemLines() const;
    void readActivated();
    void writeActivated();
    void exceptionActivated();
    void pollLines();

    AbstractSerialEngine *const engine;
    QSocketNotifier *readNotifier;
    QSocketNotifier *writeNotifier;
    QSocketNotifier *exceptionNotifier;
    QTimer lineTimer;
    unsigned m_mask = 0;
    int lastModemLines = -1;
    // A device without modem lines (a pty) is asked once, not at every switch of the mask.
    bool withoutModemLines = false;
    int dispatching = 0;
    bool inWriteNotification = false;
    bool readPaused = false;
    bool inputTaken = false;
    bool hungUp = false;
    bool disposed = false;
};
