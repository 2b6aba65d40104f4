#pragma once

// What the engine calls back when its notifier reports an event: the port's private part. The
// answers say whether the notification did something; the engine ignores them.
class AbstractSerialEngineReceiver
{
public:
    virtual ~AbstractSerialEngineReceiver() { }
    virtual bool readNotification() = 0;
    virtual bool writeNotification() = 0;
    virtual bool exceptionNotification() = 0;
    virtual bool lineNotification() = 0;
};
