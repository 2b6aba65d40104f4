#pragma once

#include "mainwindow/registerfiledialogs.h"

#include <QList>
#include <QStringList>

// The user at the register file dialogs: the files to pick, one after the other (an empty text
// cancels), the requests the dialogs made and what the window told them ("title|text").
struct RegisterFileUser
{
    QStringList answers;
    QList<RegisterFileRequest> requests;
    QStringList told;

    // Puts this user in place of the file dialog and the message boxes of the commands.
    void attach(RegisterFileCommands &commands);
};
