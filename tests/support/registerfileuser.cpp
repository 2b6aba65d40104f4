#include "registerfileuser.h"

void RegisterFileUser::attach(RegisterFileCommands &commands)
{
    commands.setFileChooser([this](QWidget *, const RegisterFileRequest &request) {
        requests << request;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    });
    commands.setNotifier([this](QWidget *, RegisterFileCommands::Notice, const QString &title,
                                const QString &text) { told << title + QLatin1Char('|') + text; });
}
