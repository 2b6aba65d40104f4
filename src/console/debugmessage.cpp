#include "console/debugmessage.h"

#include <QAtomicInt>
#include <QMessageLogContext>

namespace {

QAtomicInt ownTypesAccepted;

QtMsgType nearestQtType(int type)
{
    switch (type) {
    case DebugMessageDebug:
    case DebugMessageWarning:
    case DebugMessageCritical:
    case DebugMessageFatal:
    case QtInfoMsg:
        return static_cast<QtMsgType>(type);
    case DebugMessageFileLog:
    case DebugMessageMessage:
    case DebugMessageGreen:
        return QtInfoMsg;
    case DebugMessageOrange:
        return QtWarningMsg;
    case DebugMessageRed:
        return QtCriticalMsg;
    default:
        return QtDebugMsg;
    }
}

} // namespace

void setOwnMessageTypesAccepted(bool accepted)
{
    ownTypesAccepted.storeRelease(accepted ? 1 : 0);
}

bool ownMessageTypesAccepted()
{
    return ownTypesAccepted.loadAcquire() != 0;
}

void emitDebugMessage(int type, const QString &text)
{
    if (!ownMessageTypesAccepted())
        type = nearestQtType(type);
    // A context with a category of its own: Qt filters messages of the default category by
    // type, and a type it does not know never reaches the handler.
    const QMessageLogContext context(nullptr, 0, nullptr, "kvn");
    qt_message_output(static_cast<QtMsgType>(type), context, text);
}

DebugMessage::~DebugMessage()
{
    emitDebugMessage(m_type, m_text.endsWith(QLatin1Char(' ')) ? m_text.chopped(1) : m_text);
}
