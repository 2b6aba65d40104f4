#include "foundation/constants.h"

#include <QCoreApplication>

const QColor statusColors[3]
    = {QColor(QStringLiteral("darkseagreen")), QColor(QStringLiteral("darkorange")),
       QColor(QStringLiteral("tomato"))};

// Translated at static initialisation, before any translator exists, so the list holds the
// source texts; the translate calls keep them visible to the translation tools.
const QStringList deviceStateTexts = {
    QCoreApplication::translate("msgText", "Device disconnected"),
    QCoreApplication::translate("msgText", "Device is not connected"),
    QCoreApplication::translate("msgText", "Device is busy"),
    QCoreApplication::translate("msgText", "Try restart"),
    QCoreApplication::translate("msgText", "Restart by cycle"),
    QCoreApplication::translate("msgText", "Firmware update"),
    QCoreApplication::translate("msgText", "unable to open port"),
};

const QString placeholderText = QStringLiteral("<none>");

const QString mainWindowGroupKey = QStringLiteral("Mainwindow");

const QString boardHardwareId = QStringLiteral("VID_1209&PID_B162");
const QString standardBoardId = boardHardwareId;

const QList<QColor> rampCurveColors = {QColor(0, 0, 255, 128), QColor(255, 0, 0, 128)};
