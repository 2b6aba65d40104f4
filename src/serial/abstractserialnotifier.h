#pragma once

class AbstractSerialEngine;

// Turns the driver's events on one port into calls of the engine's notification slots, in the
// event loop of the thread that owns the port. Four kinds: read, write, exception and line.
class AbstractSerialNotifier
{
public:
    // A new notifier watching the engine's descriptor, with the engine as its QObject parent.
    static AbstractSerialNotifier *createSerialNotifier(AbstractSerialEngine *engine);

    virtual bool isReadNotificationEnabled() const = 0;
    virtual void setReadNotificationEnabled(bool enable) = 0;
    virtual bool isWriteNotificationEnabled() const = 0;
    virtual void setWriteNotificationEnabled(bool enable) = 0;
    virtual bool isExceptionNotificationEnabled() const = 0;
    virtual void setExceptionNotificationEnabled(bool enable) = 0;
    virtual bool isLineNotificationEnabled() const = 0;
    virtual void setLineNotificationEnabled(bool enable) = 0;

    // Stops watching and deletes the notifier; safe from inside one of its own notifications.
    // The engine calls it before it closes the descriptor.
    virtual void dispose() = 0;
    // The engine took bytes from the driver: a read watch paused because nobody read resumes.
    virtual void inputConsumed() { }

protected:
    virtual ~AbstractSerialNotifier() = default;
};
