#include "mainwindow/diallog.h"

#include <QDial>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

DialLog::DialLog(QWidget *parent)
    : QWidget(parent)
    , dial(new QDial(this))
    , label(new QLabel(this))
    , spinBox(new QSpinBox(this))
{
    auto *verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

    dial->setObjectName(QStringLiteral("dial"));
    QSizePolicy dialPolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    dialPolicy.setHeightForWidth(dial->sizePolicy().hasHeightForWidth());
    dial->setSizePolicy(dialPolicy);
    dial->setInvertedAppearance(false);
    dial->setWrapping(false);
    dial->setNotchTarget(33.7);
    dial->setNotchesVisible(true);
    dial->setMinimum(1);
    verticalLayout->addWidget(dial);

    auto *formLayout = new QFormLayout();
    formLayout->setObjectName(QStringLiteral("formLayout"));
    formLayout->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    formLayout->setLabelAlignment(Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter);
    formLayout->setFormAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

    label->setObjectName(QStringLiteral("label"));
    QSizePolicy labelPolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    labelPolicy.setHeightForWidth(label->sizePolicy().hasHeightForWidth());
    label->setSizePolicy(labelPolicy);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    formLayout->setWidget(0, QFormLayout::LabelRole, label);

    spinBox->setObjectName(QStringLiteral("spinBox"));
    spinBox->setMaximum(8388096);
    spinBox->setKeyboardTracking(false);
    spinBox->installEventFilter(this);
    formLayout->setWidget(0, QFormLayout::FieldRole, spinBox);
    verticalLayout->addLayout(formLayout);

    // Made last, so that building the widget emits nothing.
    connect(dial, &QDial::valueChanged, this, &DialLog::log10ValueChanged);
    connect(spinBox, &QSpinBox::valueChanged, this, &DialLog::log10ValueChanged);
}

DialLog::~DialLog() = default;

bool DialLog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == spinBox && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        // The same value again only puts its text back; nothing is emitted. An Escape that had
        // nothing to drop goes on to the window.
        const QString typed = spinBox->text();
        spinBox->setValue(spinBox->value());
        if (spinBox->text() != typed)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

int DialLog::dialPosition(int value)
{
    // 0 (and anything below 1) has no logarithm; it sits at the dial's bottom, like 1.
    if (value < 1)
        return 1;
    return qRound(10.0 * std::log10(static_cast<double>(value)));
}

int DialLog::linearValue(int position)
{
    const double value = std::pow(10.0, position / 10.0) - 1.0;
    // Positions beyond 93 would leave the int range; the spin box clamps far below that anyway.
    if (value >= 2147483647.0)
        return 2147483647;
    return qRound(value);
}

void DialLog::log10ValueChanged(int v)
{
    // The spin box's signals stay open: a dial turn that changes the value runs this slot a second
    // time from inside setValue, which puts the dial on the position of the value it reached.
    const bool dialWasBlocked = dial->blockSignals(true);
    if (sender() == spinBox)
        dial->setValue(dialPosition(v));
    else
        spinBox->setValue(linearValue(v));
    dial->blockSignals(dialWasBlocked);
    Q_EMIT valueChanged(spinBox->value());
}
