#pragma once

#include <QWidget>

class QDial;
class QLabel;
class QSpinBox;

// A dial over several decades on a logarithmic scale, paired with a spin box that shows and takes
// the linear value. The widget's value is the spin box's; the dial stands at 10 * log10(value).
//
// Its users write the value to a motor that may be running, so the spin box takes typing only
// when the edit is finished (Return, Tab, focus leaving): "2000" is not four speeds on the way.
// Escape drops what was typed and shows the value again.
class DialLog : public QWidget
{
    Q_OBJECT

public:
    explicit DialLog(QWidget *parent = nullptr);
    ~DialLog() override;

    // Users set the dial's maximum, the spin box's maximum and the caption directly.
    QDial *dial;
    QLabel *label;
    QSpinBox *spinBox;

    // The dial position that shows a linear value, and the linear value of a dial position.
    static int dialPosition(int value);
    static int linearValue(int position);

Q_SIGNALS:
    // The linear value, after every change of either child.
    void valueChanged(int value);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private Q_SLOTS:
    void log10ValueChanged(int v);
};
