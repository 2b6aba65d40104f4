#include "modalcloser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProgressBar>

ModalCloser::ModalCloser(Answer answer)
    : answer(answer)
{
    connect(&timer, &QTimer::timeout, this, &ModalCloser::answerModalBox);
    timer.start(20);
}

void ModalCloser::answerModalBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return;
    titles << box->windowTitle();
    texts << box->text();
    formats << box->textFormat();
    details << box->informativeText();
    icons << box->icon();
    const QProgressBar *busy = box->parentWidget()
        ? box->parentWidget()->findChild<QProgressBar *>(QStringLiteral("statusBarProgressBar"))
        : nullptr;
    busyShown << (busy && busy->isVisible());
    QAbstractButton *ok = answer == Answer::ClickOk ? box->button(QMessageBox::Ok) : nullptr;
    if (ok)
        ok->click();
    else
        box->accept();
}
