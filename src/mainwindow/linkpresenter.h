#pragma once

#include "link/linkdisplay.h"

#include <QPointer>
#include <QWidget>

// Shows a link's state in its owner window: the connection suffix of the title (one title for
// every link of the process), the window's alert, the "no Device connected" message of the
// status bar and the offer to install the board's driver in the device manager.
class LinkPresenter : public LinkDisplay
{
public:
    LinkPresenter(ComShell *link, QWidget *owner);

    // Every link made from now on shows itself through a LinkPresenter. Once per process is
    // enough; again does no harm.
    static void install();

    bool claimTitle() override;
    void showDisconnected() override;
    void showConnected(const QString &version) override;
    void showNoAnswer() override;
    bool offerDriverInstallation() override;
    bool isOwnerVisible() const override;
    QString ownerName() const override;

private:
    static void installUSB(ComShell *link, QWidget *owner);
    void setTitleSuffix(const QString &suffix);

    QPointer<ComShell> m_link;
    QPointer<QWidget> m_owner;
    QPointer<QWidget> m_titleWindow; // claimed for the report under way
};
