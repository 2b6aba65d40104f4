#include "foundation/devicestates.h"

#include <QCoreApplication>

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
