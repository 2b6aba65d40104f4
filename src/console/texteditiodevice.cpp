#include "console/texteditiodevice.h"

#include "console/debugtextedit.h"

#include <QAtomicInt>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QThread>

TextEditIoDevice::TextEditIoDevice(QObject *parent, const QTextCharFormat &format,
                                   QPlainTextEdit *edit)
    : QIODevice(parent)
    , format(format)
    , edit(edit)
{ }

int TextEditIoDevice::currentThreadNumber()
{
    static QAtomicInt lastNumber;
    thread_local const int number = lastNumber.fetchAndAddRelaxed(1) + 1;
    return number;
}

qint64 TextEditIoDevice::readData(char *, qint64)
{
    return 0;
}

qint64 TextEditIoDevice::writeData(const char *data, qint64 length)
{
    // The text streams hand over UTF-8 without a terminating zero: the length is the end.
    const QString text = QString::fromUtf8(data, static_cast<qsizetype>(length));
    const int threadNumber = currentThreadNumber();
    if (QThread::currentThread() == thread())
        write(threadNumber, text);
    else
        Q_EMIT writeT(threadNumber, text);
    return length;
}

void TextEditIoDevice::write(int threadNumber, const QString &text)
{
    if (edit.isNull())
        return;
    if (auto *console = qobject_cast<DebugTextEdit *>(edit.data()); console && console->isPaused())
        return;
    QTextCursor cursor = edit->textCursor();
    cursor.movePosition(QTextCursor::End);
    if (threadNumber != currentThreadNumber()) {
        // In the view's plain text colour: an empty format would paint it in the widget's
        // palette, which the console's style sheet on the viewport does not reach.
        QTextCharFormat plain;
        plain.setForeground(edit->viewport()->palette().brush(QPalette::Text));
        cursor.insertText(QStringLiteral("|"), plain);
    }
    cursor.insertText(text, format);
    edit->setTextCursor(cursor);
}
