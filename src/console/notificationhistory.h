#pragma once

#include "foundation/appsettings.h"

#include <QObject>
#include <QPointer>

class MoveFrame;
class QFrame;
class QScrollBar;

// The history of the tray notifications: one entry per message in a draggable, scrollable list
// inside a frameless window of its own, and per colour a map of the newest messages that the
// settings store keeps across runs.
class NotificationHistory : public QObject
{
    Q_OBJECT
public:
    explicit NotificationHistory(QObject *parent = nullptr);
    ~NotificationHistory() override;

    // The view keeps at most this many entries during a run; the oldest go first.
    static constexpr int maximumViewEntries = 100;

    // The member map of the colour: darkseagreen's, darkorange's, or the red one for any other.
    MessageHistory *messageMapForColor(const QString &colorName);
    // Adds an entry to the view and the message to the colour's stored history.
    void record(const QString &colorName, const QString &text);

    QFrame *frameMessageView() const { return frame; }
    MoveFrame *messageView() const { return view; }
    QScrollBar *scrollBar() const;
    int entryCount() const;

public Q_SLOTS:
    void workAreaResized(int screen);
    void moveMessageView(int value);

private:
    void buildScrollBar();
    void restoreEntries();
    void appendEntry(const QString &colorName, const QDateTime &stamp, const QString &text);

    QPointer<QFrame> frame;
    MoveFrame *view = nullptr;
    MessageHistory greenMessages;
    MessageHistory orangeMessages;
    MessageHistory redMessages;
};
