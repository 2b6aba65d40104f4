#include "foundation/confirm.h"
#include "ui_confirm.h"

#include <QDebug>

Confirm::Confirm(const QString &text, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , ui(new Ui::Confirm)
{
    ui->setupUi(this);
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
