#pragma once

#include <QDialog>
#include <QPoint>
#include <QStringList>

class QModelIndex;

namespace Ui {
class ChooseString;
}

// A frameless pick-one-of-a-list dialog. Its result is the chosen row plus 1, or -1 when it was
// closed without a choice (close button, Escape, the window manager); it deletes itself
// afterwards, so callers create it on the heap and only read the result of exec().
class ChooseString : public QDialog
{
    Q_OBJECT

public:
    // rememberTarget, when given, needs a setChecked(bool) slot: it follows the "Remember me"
    // check box.
    ChooseString(const QString &title, const QStringList &items, QObject *rememberTarget,
                 QWidget *parent = nullptr);
    ~ChooseString() override;

    static constexpr int closedResult = -1;
    // The most rows the dialog grows by; longer lists scroll.
    static constexpr int maximumGrowRows = 22;

public Q_SLOTS:
    void reject() override;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private Q_SLOTS:
    void close();
    void listValueChanged(const QModelIndex &index);

private:
    void fitToItems();
    void finish(int result);

    Ui::ChooseString *ui;
    bool dragging = false;
    QPoint pressPos;
};
