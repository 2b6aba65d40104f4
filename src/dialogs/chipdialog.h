#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>

#include <functional>

// The one road between a chip dialog and the chip: a dialog reads and writes registers only by
// emitting DoReadRegister and DoWriteRegister (the main window answers both inside the emit), and
// hears of register contents only through OnRegisterChanged. EnableAll and InitAllValues arrive as
// broadcasts from the main window.
class ChipDialog : public QDialog
{
    Q_OBJECT

public:
    // Window flags of the fixed-size chip dialogs and of those the user may resize.
    static constexpr Qt::WindowFlags fixedSizeFlags
        = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowMinimizeButtonHint;
    static constexpr Qt::WindowFlags resizableFlags = Qt::Dialog | Qt::WindowMinimizeButtonHint;

    explicit ChipDialog(QWidget *parent = nullptr);
    ~ChipDialog() override;

    // The address of a per-motor register for motor 1 or 2, from its motor-1 address: the
    // ramp-generator block of motor 2 lies 0x20 higher, the driver block (0x60 on) 0x10 higher.
    static unsigned char motorAddress(unsigned char motor1Address, int motor);

    // Asked right after each read through the contract: whether that read brought no value of
    // the chip (no reply, a brown-out, a detection in progress), which a 0 alone cannot tell from
    // a register holding 0. The main window sets it when it wires the dialog; without it a read
    // counts as failed only when nobody answers DoReadRegister.
    void setReadFailedProbe(std::function<bool()> probe);
    // The same for a write: whether the chip did not confirm the last write. Without it every
    // write counts as done.
    void setWriteFailedProbe(std::function<bool()> probe);

public Q_SLOTS:
    // A board came (true) or went (false): switch the dialog's register controls.
    virtual void OnEnableAll(bool enable);
    // Read every register the dialog shows and fill its widgets.
    virtual void OnInitAllValues();
    // A register now holds this value; addresses the dialog does not show are ignored.
    virtual void OnRegisterChanged(unsigned char address, int value);
    // The polled values the dialog shows are the chip's current ones (true: the poll brought a
    // value) or not (false: the link is down, or no poll has run yet); those not current are
    // greyed.
    void OnLiveValuesCurrent(bool current);

Q_SIGNALS:
    void DoWriteRegister(unsigned char address, int value);
    // The receiver stores the register's content in value before the emit returns.
    void DoReadRegister(unsigned char address, int &value);

protected:
    // Names the dialog "dlg_" + className (the key of its geometry in the settings) and sets its
    // window flags; every constructor calls it right after building its form. The form's value
    // fields then take the mouse wheel only once the user has clicked or tabbed into them, the
    // click that takes the user into a dial only focuses it, and every check box of the form's
    // button groups is a Tab stop.
    void setIdentity(const char *className, Qt::WindowFlags flags);

    // An opened dialog has nothing in the focus that acts on the chip.
    void showEvent(QShowEvent *event) override;

    // Escape closes the dialog and drops what was typed into a box and not yet finished: the box
    // shows the chip's value again, and its losing the focus on the close writes nothing.
    void keyPressEvent(QKeyEvent *event) override;

    // One read through the contract; 0 when nobody answers or the read failed, and then
    // lastReadFailed() is true until the next read. A dialog builds no write on a failed read
    // and leaves its widgets as they were.
    int readRegister(unsigned char address);
    bool lastReadFailed() const { return m_lastReadFailed; }
    // One write through the contract; lastWriteFailed() then tells whether the chip did not
    // confirm it (no reply, an error status), until the next write. Such a write comes back
    // before this returns as OnRegisterChanged with what the chip holds, so the dialog's copy and
    // widgets drop the refused bits.
    void writeRegister(unsigned char address, int value);
    bool lastWriteFailed() const { return m_lastWriteFailed; }

    // The widgets that OnEnableAll switches; forms create them disabled.
    void setRegisterControls(const QList<QWidget *> &controls);

    // Set while the dialog fills its widgets from register values, so that their change signals
    // write nothing back.
    bool updating = false;

private:
    QList<QPointer<QWidget>> m_registerControls;
    std::function<bool()> m_readFailedProbe;
    std::function<bool()> m_writeFailedProbe;
    bool m_lastReadFailed = false;
    bool m_lastWriteFailed = false;
    // As the form shows them, until the window that polls says otherwise.
    bool m_liveValuesCurrent = true;
};
