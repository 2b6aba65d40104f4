#include "foundation/plainmessagebox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QSpacerItem>

namespace PlainMessageBox {

namespace {
// Room a window manager's title bar takes beside the title: the window icon and the buttons.
constexpr int titleBarButtonsWidth = 160;
} // namespace

void fitTitle(QMessageBox &box)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid || box.windowTitle().isEmpty())
        return;
    // Title bars commonly draw in a bold face a little larger than the application's.
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    if (titleFont.pixelSize() > 0)
        titleFont.setPixelSize(titleFont.pixelSize() * 6 / 5);
    else
        titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle().trimmed())
        + titleBarButtonsWidth;
    // The box fixes its size from its layout's minimum when it is shown; a spacer across the
    // whole bottom row widens that minimum.
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

QMessageBox::StandardButton show(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                 const QString &text, QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton, const QString &details)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    if (!details.isEmpty())
        box.setInformativeText(details);
    fitTitle(box);
    if (box.exec() == -1)
        return QMessageBox::Cancel;
    return box.standardButton(box.clickedButton());
}

} // namespace PlainMessageBox
