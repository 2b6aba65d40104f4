#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace Ui {
class Confirm;
}

// A message dialog with "OK" and "Cancel". It ends with 1 for "OK" and 0 for every other way out
// (Cancel, Escape, the window manager) and deletes itself, so a caller may wait for its
// destroyed() signal. It wears the window manager's frame, so that it can be moved off what it
// covers, and it fits itself to its text and buttons.
class Confirm : public QDialog
{
    Q_OBJECT

public:
    explicit Confirm(const QString &text, QWidget *parent = nullptr);
    ~Confirm() override;

    // The creator may delete it to leave only "OK".
    QPushButton *cancelButton;
    QLabel *iconLabel;

public Q_SLOTS:
    int exec() override;
    void ende();
    void reject() override;

private:
    void layOut();
    void finish(int result);

    Ui::Confirm *ui;
};
