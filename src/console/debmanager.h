#pragma once

#include <QDialog>
#include <QHash>
#include <QList>
#include <QPointer>

class DebDialog;
class DebugTextEdit;
class QLineEdit;
class QMainWindow;
class QTextStream;
class SystemTrayIcon;
class TextEditIoDevice;

// The process-wide sink of every message: installs the message handler, stamps and labels each
// message, applies the type and prefix filters, appends type 42 to the log file, raises the
// notification types in the tray and writes the line to the console or to standard error.
class DebManager : public QDialog
{
    Q_OBJECT
public:
    // Creates the manager on the first call; call it first from the GUI thread.
    static DebManager *instance();
    // The manager if it exists, without creating it.
    static DebManager *existingInstance();
    ~DebManager() override;

    SystemTrayIcon *trayIcon() const { return tray.data(); }
    bool messageOutput() const { return outputOn; }
    DebugTextEdit *console() const { return view; }

    DebDialog *showAboutDialog(const QString &title, const QString &text,
                               const QString &linkSuffix);
    void createTrayIcon(QMainWindow *window);

    static void messageHandler(QtMsgType type, const QMessageLogContext &context,
                               const QString &text);

    // The event filter writes a trace line per event only when asked to: it floods otherwise.
    static void setTraceEvents(bool on);

    static const char *const linkBase;

    // With the console on: places it where it does not lie under the window when the screen has
    // room for it there, and raises it above the window either way.
    void showAbove(const QWidget *window);

public Q_SLOTS:
    void setMessageOutput(bool on);
    void setMessageOutput();
    // Saves the filters, the window and the tray menu's states, removes the handler and returns.
    void end();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit DebManager(QWidget *parent = nullptr);

    void buildConsole();
    void restoreFilters();
    void saveState();
    void releaseHandler();
    // The device that type's lines go to; nullptr means the error stream.
    QIODevice *deviceForType(int type) const;
    QString typePart(int type, const QString &text);
    void postNotification(int type, const QString &text);

    QHash<int, QTextStream *> streams;
    bool outputOn = false;
    QList<int> messageTypes;
    QHash<int, QTextStream *> consoleStreams;
    QPointer<SystemTrayIcon> tray;
    DebugTextEdit *view = nullptr;
    QLineEdit *searchField = nullptr;
    bool ended = false;
};
