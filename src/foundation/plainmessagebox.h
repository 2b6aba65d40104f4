#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// A message box whose text is shown as it is, never as markup. Every box that shows something
// from outside the program (a file name, a key or value from a file, a board's answer) goes
// through here: a file named "<b>settings.3162" must read as that name, not as a bold heading.
namespace PlainMessageBox {

// `details`, when given, stands below the text as the box's informative text: what the user
// can do about what the text reports.
QMessageBox::StandardButton show(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                 const QString &text,
                                 QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                 QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
                                 const QString &details = QString());

inline void information(QWidget *parent, const QString &title, const QString &text,
                        const QString &details = QString())
{
    show(parent, QMessageBox::Information, title, text, QMessageBox::Ok, QMessageBox::NoButton,
         details);
}
inline void warning(QWidget *parent, const QString &title, const QString &text)
{
    show(parent, QMessageBox::Warning, title, text);
}

// Widens the box so that a window manager's title bar shows the box's whole title: a box sizes
// itself to its text alone, and a title longer than a short text was cut to "Found … device".
void fitTitle(QMessageBox &box);

} // namespace PlainMessageBox
