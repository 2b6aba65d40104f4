#include "console/debugmessage.h"

#include <QMessageLogContext>

void emitDebugMessage(int type, const QString &text)
{
    // A context with a category of its own: Qt filters messages of the default category by
    // type, and a type it does not know never reaches the handler.
    const QMessageLogContext context(nullptr, 0, nullptr, "kvn");
    qt_message_output(static_cast<QtMsgType>(type), context, text);
}

DebugMessage::~DebugMessage()
{
    emitDebugMessage(m_type, m_text.endsWith(QLatin1Char(' ')) ? m_text.chopped(1) : m_text);
}
