#pragma once

#include <QString>
#include <QWidget>

class ComShell;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLabel;
class QMimeData;
class QPlainTextEdit;
class QPointF;
class QProgressBar;
class SendFirmware;

// The firmware label at the left end of the status bar: the icon and text of the link's latest
// status report (the connected board's firmware version, or a device-state text), and the drop
// target for a firmware file.
class DropLabel : public QWidget
{
    Q_OBJECT

public:
    DropLabel(ComShell *link, QWidget *parent);
    ~DropLabel() override;

    // The text of the latest status report; the main window judges the board by it.
    QString text() const;
    QString comPort() const { return m_comPort; }
    // The update window's log; null until the first update.
    QPlainTextEdit *output() const { return m_output; }
    SendFirmware *updater() const { return m_updater; }
    // Starts an update of the board last reported ready with the file; without such a board
    // the update window says so. Does nothing without a file.
    void sendFirmware(const QString &fwFile);

Q_SIGNALS:
    void firmwareDone();

public Q_SLOTS:
    void setCOMport(const QString &port);

private Q_SLOTS:
    void sendFirmwareReady(bool ok, const QString &text);
    void updateLabel(const QString &icon, const QString &text);

protected Q_SLOTS:
    void dropEvent(QDropEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;

public:
    // The local path of the first dragged URL when it has ".hex" in it, else empty: the rule
    // of both firmware drop targets.
    static QString firmwareFileOf(const QMimeData *mime);
    // The what's-this hint of a firmware drop target, near the drag's position, as plain text.
    static void showDropHint(QWidget *target, const QPointF &position, const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitTextWidth();
    QWidget *updateWindow();
    void makeUpdater(QWidget *window);
    void continueLogLine(const QString &text);
    // Marks the last log line red when the update failed and adds the closing line.
    void closeLog(bool ok, const QString &port);

    ComShell *m_link;
    QString m_comPort;
    QLabel *m_iconLabel;
    QLabel *m_textLabel;
    QPlainTextEdit *m_output = nullptr;
    SendFirmware *m_updater = nullptr;
    QProgressBar *m_progressBar = nullptr;
};
