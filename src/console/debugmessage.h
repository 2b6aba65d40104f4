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
// While no handler of the console takes the program's own types (before the debug manager
// exists, after it ended, in a test of another part), they go out as the nearest type of Qt's,
// which any handler understands: 42 and 43 as info, 44 and unknown numbers as debug, 100 as
// info, 101 as warning, 102 as critical.
void emitDebugMessage(int type, const QString &text);

// Set by the debug manager while its handler, which knows every type, is installed.
void setOwnMessageTypesAccepted(bool accepted);
bool ownMessageTypesAccepted();

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
