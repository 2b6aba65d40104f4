#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// A message box whose text is shown as it is, never as markup. Every box that shows something
// from outside the program (a file name, a key or value from a file, a board's answer) goes
// through here: a file named "<b>settings.3162" must read as that name, not as a bold heading.
namespace PlainMessageBox {

QMessageBox::StandardButton show(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                 const QString &text,
                                 QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                 QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

inline void information(QWidget *parent, const QString &title, const QString &text)
{
    show(parent, QMessageBox::Information, title, text);
}
inline void warning(QWidget *parent, const QString &title, const QString &text)
{
    show(parent, QMessageBox::Warning, title, text);
}

} // namespace PlainMessageBox
