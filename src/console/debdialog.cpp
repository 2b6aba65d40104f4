#include "console/debdialog.h"

#include "foundation/statusbar.h"

#include <QDesktopServices>
#include <QProcess>
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
    if (StatusBar *bar = owner->findChild<StatusBar *>()) {
        bar->showMessage((opened ? QStringLiteral("Open: ") : QStringLiteral("Fail: ")) + link,
                         statusMessageMs);
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
