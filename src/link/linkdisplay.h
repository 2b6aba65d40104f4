#pragma once

#include <QString>

#include <functional>
#include <memory>

class ComShell;
class QWidget;

// What the link shows of itself outside its status report: the owner window's title and
// attention, and the offer to install the board's driver. The link only reports; the window
// side (LinkPresenter) decides how that looks. A link without one shows nothing.
class LinkDisplay
{
public:
    virtual ~LinkDisplay() = default;

    // Claims the window whose title carries the connection state (one for every link of the
    // process) before the link reports a change; false when there is none for this link.
    virtual bool claimTitle() = 0;
    virtual void showDisconnected() = 0;
    virtual void showConnected(const QString &version) = 0;
    // The board is listed but does not answer.
    virtual void showNoAnswer() = 0;
    // No known board is plugged. True when the link is to look at the port list again later
    // (nothing was offered); false when the window offered the driver installation, or there is
    // no window to ask.
    virtual bool offerDriverInstallation() = 0;
    // For the trace: whether the owner window shows, and its name.
    virtual bool isOwnerVisible() const = 0;
    virtual QString ownerName() const = 0;

    // Makes the display of a link for its owner window (which may be null).
    using Factory = std::function<std::unique_ptr<LinkDisplay>(ComShell *link, QWidget *owner)>;
};
