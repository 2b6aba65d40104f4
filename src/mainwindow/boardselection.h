#pragma once

#include <QStringList>

#include <functional>

// Which board the link is given at start-up. The supported board types present on USB are counted
// (two boards of one type count once): with none every serial port is probed later, with one the
// link gets its hardware id, with several the user chooses unless a remembered module is to be
// used without asking.
class BoardSelector
{
public:
    enum class Road { NoBoard, OneBoard, SeveralBoards };

    struct Decision
    {
        Road road = Road::NoBoard;
        QStringList found; // the board types present, each once, in device-map order
        QString moduleId; // the hardware id for the link; empty on the road NoBoard
        bool storeModule = false; // the user chose: remember moduleId as "Current Module"
    };

    // The hardware ids of the USB serial devices present whose id is in acceptedIds, one entry per
    // device, in device-map order.
    using DeviceQuery = std::function<QStringList(const QStringList &acceptedIds)>;
    // Runs the chooser over the boards' names; the 1-based position of the choice, below 1 when
    // the chooser was closed without one.
    using Chooser = std::function<int(const QStringList &names)>;
    // The display name of a board hardware id; empty when the id table does not know it.
    using NameLookup = std::function<QString(const QString &hardwareId)>;

    BoardSelector(DeviceQuery query, NameLookup nameLookup, Chooser chooser);

    // Accepted on every start, in the order they are asked for; the first is standardBoardId.
    static QStringList acceptedBoardIds();
    // The development board, accepted only when the command line holds "-debug".
    static QString debugBoardId();
    // "-debug" exactly, as one argument.
    static bool debugRequested(const QStringList &arguments);

    QStringList findBoardTypes(const QStringList &arguments) const;
    // What the chooser lists for the boards found: each board's name, or its id when the id table
    // has no name for it.
    QStringList chooserEntries(const QStringList &found) const;

    // storedModule is "Current Module" (may be empty); remember is the "Remember Module" option.
    Decision decide(const QStringList &arguments, const QString &storedModule, bool remember) const;

private:
    DeviceQuery m_query;
    NameLookup m_nameLookup;
    Chooser m_chooser;
};
