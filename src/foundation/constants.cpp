#include "foundation/constants.h"

const QColor statusColors[3]
    = {QColor(QStringLiteral("darkseagreen")), QColor(QStringLiteral("darkorange")),
       QColor(QStringLiteral("tomato"))};

const QString placeholderText = QStringLiteral("<none>");

const QString mainWindowGroupKey = QStringLiteral("Mainwindow");

const QString boardHardwareId = QStringLiteral("VID_1209&PID_B162");
const QString standardBoardId = boardHardwareId;

const QList<QColor> rampCurveColors = {QColor(0, 0, 255, 128), QColor(255, 0, 0, 128)};
