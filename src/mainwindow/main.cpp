#include "console/debmanager.h"
#include "console/systemtrayicon.h"
#include "mainwindow/mainwindow.h"

#include <QApplication>
#include <QDebug>
#include <QLocale>
#include <QStyle>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // The compiled-in resource trees (icons, fonts, logos, tools, templates) are linked in as
    // objects and register themselves before main runs.
    qDebug() << QCoreApplication::applicationDirPath();
    DebManager::instance()->setMessageOutput(
        QCoreApplication::arguments().contains(QStringLiteral("-debug")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    QLocale::setDefault(QLocale(QLocale::C, QLocale::AnyTerritory));

    MainWindow window(nullptr);
    return application.exec();
}
