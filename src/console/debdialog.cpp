#include "console/debdialog.h"

#include <QDesktopServices>
#include <QMetaObject>
#include <QProcess>
#include <QStatusBar>
#include <QUrl>

DebDialog::DebDialog(QWidget *parent)
    : QDialog(parent)
{
    pressTimer.setSingleShot(false);
}

void DebDialog::extLink(const QString &link)
{
    pressTimer.stop();
    const bool opened = QDesktopServices::openUrl(QUrl(link));
    qDebug() << link << parent();
    QWidget *owner = parentWidget();
    if (!owner)
        return;
    // Called by name: the main window's status bar shows its messages in a label of its own
    // (its showMessage hides the base class's), and the console does not include the window side.
    if (QStatusBar *bar = owner->findChild<QStatusBar *>()) {
        const QString text = (opened ? QStringLiteral("Open: ") : QStringLiteral("Fail: ")) + link;
        QMetaObject::invokeMethod(bar, "showMessage", Q_ARG(QString, text),
                                  Q_ARG(int, statusMessageMs));
    }
}

void DebDialog::reboot()
{
    // Stands in for the Windows shutdown tool's immediate restart.
    QProcess::execute(QStringLiteral("systemctl"), {QStringLiteral("reboot")});
}

void DebDialog::mousePressEvent(QMouseEvent *event)
{
    pressTimer.start(longPressMs);
    QDialog::mousePressEvent(event);
}

void DebDialog::mouseReleaseEvent(QMouseEvent *event)
{
    pressTimer.stop();
    QDialog::mouseReleaseEvent(event);
}
