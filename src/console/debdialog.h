#pragma once

#include <QDialog>
#include <QTimer>

// The about dialog. Holding the mouse pressed on it for 13 seconds toggles the debug console.
class DebDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DebDialog(QWidget *parent = nullptr);

    static constexpr int longPressMs = 13000;
    static constexpr int statusMessageMs = 3300;

    QTimer *longPressTimer() { return &pressTimer; }

public Q_SLOTS:
    void extLink(const QString &link);
    // Nothing connects it; kept for the maintenance menu that may come back.
    void reboot();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QTimer pressTimer;
};
