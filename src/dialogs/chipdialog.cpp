#include "dialogs/chipdialog.h"

#include "dialogs/chipregisters.h"

#include "foundation/groupedboxtabstops.h"
#include "foundation/livevaluelabel.h"
#include "foundation/repaintpacer.h"
#include "foundation/valueneedsfocus.h"

#include <QAbstractSpinBox>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QShowEvent>

ChipDialog::ChipDialog(QWidget *parent)
    : QDialog(parent)
{
    // The poll's values reach a dialog several times a cycle.
    new RepaintPacer(this, RepaintPacer::pollWindowIntervalMs);
}

ChipDialog::~ChipDialog() = default;

unsigned char ChipDialog::motorAddress(unsigned char motor1Address, int motor)
{
    return chipregisters::motorAddress(motor1Address, motor);
}

void ChipDialog::OnEnableAll(bool enable)
{
    for (const QPointer<QWidget> &control : std::as_const(m_registerControls)) {
        if (control)
            control->setEnabled(enable);
    }
}

void ChipDialog::OnInitAllValues() { }

void ChipDialog::OnLiveValuesCurrent(bool current)
{
    // The poll announces several values every few milliseconds: only a change is worth a walk.
    if (current == m_liveValuesCurrent)
        return;
    m_liveValuesCurrent = current;
    setLiveValuesCurrent(this, current);
}

void ChipDialog::OnRegisterChanged(unsigned char address, int value)
{
    Q_UNUSED(address)
    Q_UNUSED(value)
}

void ChipDialog::setIdentity(const char *className, Qt::WindowFlags flags)
{
    setWindowFlags(flags);
    setObjectName(QLatin1String("dlg_") + QLatin1String(className));
    new ValueNeedsFocus(this);
    new GroupedBoxTabStops(this);
}

void ChipDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Given back from minimised, by the window system or by opening it again, the dialog keeps
    // the field the user was in.
    if (event->spontaneous())
        return;
    // Opening the dialog would give the focus to its first field, or to the one the user left
    // it in at the last closing, and a key or a notch of the wheel meant for another window
    // would then tick a box, press a button or change a value and write it to the chip. The
    // dialog keeps the focus itself at every opening; Tab leads on to its first field.
    setFocus(Qt::OtherFocusReason);
}

void ChipDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel)) {
        // The box's value is still the one it had before the typing (its boxes take a typed
        // value only when the edit ends), so setting it again puts its text back and leaves
        // nothing to hand on when the focus goes.
        QWidget *focused = focusWidget();
        while (focused && focused != this && !qobject_cast<QAbstractSpinBox *>(focused))
            focused = focused->parentWidget();
        if (auto *box = qobject_cast<QAbstractSpinBox *>(focused)) {
            const QVariant shown = box->property("value");
            if (shown.isValid())
                box->setProperty("value", shown);
        }
    }
    QDialog::keyPressEvent(event);
}

void ChipDialog::setReadFailedProbe(std::function<bool()> probe)
{
    m_readFailedProbe = std::move(probe);
}

void ChipDialog::setWriteFailedProbe(std::function<bool()> probe)
{
    m_writeFailedProbe = std::move(probe);
}

int ChipDialog::readRegister(unsigned char address)
{
    int value = 0;
    const bool answered = isSignalConnected(QMetaMethod::fromSignal(&ChipDialog::DoReadRegister));
    Q_EMIT DoReadRegister(address, value);
    m_lastReadFailed = !answered || (m_readFailedProbe && m_readFailedProbe());
    if (m_lastReadFailed)
        value = 0;
    return value;
}

void ChipDialog::writeRegister(unsigned char address, int value)
{
    Q_EMIT DoWriteRegister(address, value);
    m_lastWriteFailed = m_writeFailedProbe && m_writeFailedProbe();
}

void ChipDialog::setRegisterControls(const QList<QWidget *> &controls)
{
    m_registerControls.clear();
    for (QWidget *control : controls)
        m_registerControls.append(control);
}
