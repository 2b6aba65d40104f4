#include "boxwatchdog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace {

class Watchdog : public QObject
{
public:
    Watchdog()
    {
        clock.start();
        timer.setInterval(100);
        connect(&timer, &QTimer::timeout, this, &Watchdog::look);
        timer.start();
    }

private:
    void look()
    {
        QHash<QMessageBox *, qint64> stillOpen;
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            auto *box = qobject_cast<QMessageBox *>(window);
            if (!box || !box->isVisible())
                continue;
            const qint64 since = openSince.value(box, clock.elapsed());
            stillOpen.insert(box, since);
            if (clock.elapsed() - since > BoxWatchdog::graceMs)
                fail(box);
        }
        openSince = stillOpen;
    }

    void fail(QMessageBox *box)
    {
        const QString message = QStringLiteral("a message box nobody expected: \"%1\": \"%2\"")
                                    .arg(box->windowTitle(), box->text());
        qWarning().noquote() << message;
        QTest::qFail(qPrintable(message), __FILE__, __LINE__);
        openSince.remove(box);
        box->reject();
        box->close();
    }

    QTimer timer;
    QElapsedTimer clock;
    QHash<QMessageBox *, qint64> openSince;
};

} // namespace

void BoxWatchdog::install()
{
    static QPointer<QObject> watchdog;
    if (watchdog || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    watchdog = new Watchdog;
    watchdog->setParent(QCoreApplication::instance());
}
