#pragma once

#include <QLabel>

// A one-line label that can be narrower than its text: it then shows the text's beginning and
// "…", and the whole text as its tool tip. text() is always the whole text.
class ElidingLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidingLabel(QWidget *parent = nullptr);

    // The text as the label draws it now.
    QString shownText() const;
    bool isElided() const;

    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // Where QLabel puts its text: the contents less the margin and the indent.
    QRect textRect() const;
};
