#pragma once

#include <QTreeWidget>

// The device manager's tree of boards, which takes a dropped firmware file (a local path with
// ".hex" in it) for the board selected in it and asks for that board's update.
class fwTreeWidget : public QTreeWidget
{
    Q_OBJECT

public:
    explicit fwTreeWidget(QWidget *parent = nullptr);
    ~fwTreeWidget() override;

Q_SIGNALS:
    void fwUpdate(const QString &comPort, const QString &fileName);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};
