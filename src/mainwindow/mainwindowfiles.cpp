#include "mainwindow/mainwindow.h"

// Register settings files, their source export and the window's own settings.

void MainWindow::on_actionSave_settings_triggered() { }

void MainWindow::on_actionLoad_settings_triggered() { }

void MainWindow::on_actionExport_settings_triggered() { }

void MainWindow::saveSettings() { }
