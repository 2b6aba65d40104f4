#pragma once

#include <QFrame>
#include <QPoint>

// A frame the user drags up and down with the left mouse button.
class MoveFrame : public QFrame
{
    Q_OBJECT
public:
    explicit MoveFrame(QWidget *parent = nullptr);

protected Q_SLOTS:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    bool dragging = false;
    QPoint pressPos;
};
