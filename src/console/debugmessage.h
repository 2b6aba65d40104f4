#pragma once

#include <QDebug>
#include <QString>

// The message types the handler knows: Qt's own four and the program's six.
enum DebugMessageType {
    DebugMessageDebug = 0,
    DebugMessageWarning = 1,
    DebugMessageCritical = 2,
    DebugMessageFatal = 3,
    DebugMessageFileLog = 42,
    DebugMessageMessage = 43,
    DebugMessageLowPriority = 44,
    DebugMessageGreen = 100,
    DebugMessageOrange = 101,
    DebugMessageRed = 102
};

// Sends one message of any type, the program's own included, straight to the installed message
// handler. Qt 6 drops a QDebug of an unknown type before the handler sees it, so the program's
// own types travel this way.
void emitDebugMessage(int type, const QString &text);

// A debug stream of a chosen type: collects like QDebug and emits when it goes out of scope.
//   kvnMessage(DebugMessageMessage) << KVN_METHOD << "connected";
class DebugMessage
{
public:
    explicit DebugMessage(int type)
        : m_type(type)
        , m_debug(&m_text)
    { }
    DebugMessage(const DebugMessage &) = delete;
    DebugMessage &operator=(const DebugMessage &) = delete;
    ~DebugMessage();

    template<typename T> DebugMessage &operator<<(const T &value)
    {
        m_debug << value;
        return *this;
    }
    QDebug &stream() { return m_debug; }

private:
    int m_type;
    QString m_text;
    QDebug m_debug;
};

inline DebugMessage kvnMessage(int type)
{
    return DebugMessage(type);
}
