#pragma once

#include "foundation/elidinglabel.h"

#include <QStatusBar>
#include <QTimer>

class ComShell;
class DropLabel;
class QCheckBox;
class QProgressBar;
class QResizeEvent;
class SpacerWidget;

// The main window's status bar: a message that can clear itself, a progress bar that others
// find by its object name "statusBarProgressBar", and, once the link exists, the firmware label
// and the check box that switches automatic connection.
class StatusBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit StatusBar(QWidget *parent = nullptr);

    // Adds the firmware label and the "Connection" check box, once.
    void addConnectionControls(ComShell *shell, QWidget *owner);

    // The message: cut short with "…" where the bar has no room for it, and then whole as its
    // tool tip.
    ElidingLabel *messageLabel() const { return m_messageLabel; }
    QWidget *spacer() const;
    QProgressBar *progressBar() const { return m_progressBar; }
    DropLabel *firmwareLabel() const { return m_firmwareLabel; }
    QCheckBox *connectionCheckBox() const { return m_connectionCheckBox; }

public Q_SLOTS:
    // Shows the text; a time-out other than 0 clears it after that many milliseconds. A later
    // message restarts or stops the clearing, so it is never cleared by an earlier one's timer.
    void showMessage(const QString &text, int timeout);
    void showMessage(const QString &text);
    // Clears the message if it still is this text, or shows `rest` in its place for `timeout`
    // milliseconds when given; a message shown since then stays.
    void withdrawMessage(const QString &text, const QString &rest = QString(), int timeout = 0);

protected Q_SLOTS:
    void resizeEvent(QResizeEvent *event) override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void clearMessage();

    ElidingLabel *m_messageLabel;
    SpacerWidget *m_spacer;
    QProgressBar *m_progressBar;
    DropLabel *m_firmwareLabel = nullptr;
    QCheckBox *m_connectionCheckBox = nullptr;
    QTimer m_clearTimer;
    bool m_reformatPending = false;
    int m_firmwareLeastHeight = 0;
};
