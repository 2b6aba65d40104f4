#include "devcon/devconcommands.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

// kvn-devcon: finds, installs (udev rule), removes and restarts the evaluation boards. The
// program runs it unprivileged for "find" and through pkexec for the others.
int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return Devcon::run(arguments, out);
}
