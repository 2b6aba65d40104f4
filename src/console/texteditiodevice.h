#pragma once

#include <QIODevice>
#include <QPointer>
#include <QTextCharFormat>

class QPlainTextEdit;

// A write-only device that appends what is written into it, in the colour of one message type,
// at the end of the console view. It may be written from any thread: text from a thread other
// than the device's own crosses by the queued signal writeT and is marked with a leading "|".
class TextEditIoDevice : public QIODevice
{
    Q_OBJECT
public:
    TextEditIoDevice(QObject *parent, const QTextCharFormat &format, QPlainTextEdit *edit);

    // A small number of the calling thread, unique within the process, that travels with the text.
    static int currentThreadNumber();

    using QIODevice::write;

Q_SIGNALS:
    void writeT(int threadNumber, const QString &text);

public Q_SLOTS:
    void write(int threadNumber, const QString &text);
    qint64 readData(char *data, qint64 maxSize) override;

protected:
    qint64 writeData(const char *data, qint64 length) override;

private:
    QTextCharFormat format;
    QPointer<QPlainTextEdit> edit;
};
