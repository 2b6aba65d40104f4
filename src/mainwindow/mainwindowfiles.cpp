#include "mainwindow/mainwindow.h"

#include "ui_mainwindow.h"

#include "mainwindow/settingspersistence.h"
#include "mainwindow/statusbar.h"

#include <QCheckBox>

// Register settings files, their source export and the window's own settings. The commands tell
// the user themselves what went wrong; the window only starts them.

void MainWindow::on_actionSave_settings_triggered()
{
    registerFiles.saveRegisters(this);
}

void MainWindow::on_actionLoad_settings_triggered()
{
    registerFiles.loadRegisters(this);
}

void MainWindow::on_actionExport_settings_triggered()
{
    registerFiles.exportRegisters(this);
}

void MainWindow::saveSettings()
{
    const QCheckBox *connection = ui->statusBar->connectionCheckBox();
    SettingsPersistence::save(settings, this, ui->menuOptions,
                              SettingsPersistence::widgetList(dialogs),
                              connection && connection->isChecked());
}
