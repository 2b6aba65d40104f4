#include "foundation/confirm.h"
#include "ui_confirm.h"

#include <QDebug>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

Confirm::Confirm(const QString &text, QWidget *parent)
    : QDialog(parent, Qt::Dialog)
    , ui(new Ui::Confirm)
{
    ui->setupUi(this);
    layOut();
    cancelButton = ui->ret;
    iconLabel = ui->iconLabel;
    setWindowOpacity(0.92);
    // The frame shares its name with the form class, so it is reached through the base.
    if (parent)
        ui->Ui_Confirm::Confirm->setStyleSheet(
            QStringLiteral("border: 2px solid palette(window-text)"));
    ui->LblText->setText(text);
    connect(ui->OK, &QPushButton::clicked, this, &Confirm::ende);
    connect(ui->ret, &QPushButton::clicked, this, &Confirm::ende);
}

// The form places its widgets at fixed spots for a text of two short lines and two buttons; a
// longer text, a larger font or a deleted Cancel left the text in a corner of an empty box.
void Confirm::layOut()
{
    auto *frame = ui->Ui_Confirm::Confirm;
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    ui->iconLabel->setFixedSize(ui->iconLabel->size());
    ui->LblText->setMinimumWidth(ui->LblText->width());
    ui->LblText->setTextFormat(Qt::PlainText);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ui->ret);
    buttons->addWidget(ui->OK);
    for (QPushButton *button : {ui->ret, ui->OK})
        button->setMinimumSize(button->width() * 2 / 3, button->height() / 2);

    auto *grid = new QGridLayout(frame);
    grid->setContentsMargins(25, 20, 25, 20);
    grid->setHorizontalSpacing(25);
    grid->setVerticalSpacing(12);
    grid->addWidget(ui->iconLabel, 0, 0, Qt::AlignTop);
    grid->addWidget(ui->LblText, 0, 1);
    grid->addLayout(buttons, 1, 0, 1, 2);
}

Confirm::~Confirm()
{
    delete ui;
}

int Confirm::exec()
{
    qDebug() << "exec ";
    return QDialog::exec();
}

void Confirm::ende()
{
    const QString name = sender() ? sender()->objectName() : QString();
    qDebug() << "ende ask" << name;
    finish(name.contains(QLatin1String("OK")) ? 1 : 0);
}

// Escape and the window manager's close take the cancel path and still delete the dialog:
// whoever waits for destroyed() would otherwise wait for ever.
void Confirm::reject()
{
    qDebug() << "ende ask"
             << "reject";
    finish(0);
}

void Confirm::finish(int result)
{
    done(result);
    deleteLater();
}
