#include "mainwindow/boardselection.h"

#include "foundation/constants.h"

namespace {

// Our boards' USB ids beside standardBoardId (the KVN3162 board): the KVN3141 board and the
// generic KVN31xx board; the development board is asked for separately.
const char *const furtherBoardIds[] = {"VID_1209&PID_B141", "VID_1209&PID_B100"};
const char debugBoard[] = "VID_1209&PID_B1DB";

} // namespace

BoardSelector::BoardSelector(DeviceQuery query, NameLookup nameLookup, Chooser chooser)
    : m_query(std::move(query))
    , m_nameLookup(std::move(nameLookup))
    , m_chooser(std::move(chooser))
{ }

QStringList BoardSelector::acceptedBoardIds()
{
    QStringList ids {standardBoardId};
    for (const char *id : furtherBoardIds)
        ids << QLatin1String(id);
    return ids;
}

QString BoardSelector::debugBoardId()
{
    return QLatin1String(debugBoard);
}

bool BoardSelector::debugRequested(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("-debug"), Qt::CaseSensitive);
}

QStringList BoardSelector::findBoardTypes(const QStringList &arguments) const
{
    QStringList found = m_query(acceptedBoardIds());
    if (debugRequested(arguments))
        found << m_query(QStringList {debugBoardId()});
    found.removeDuplicates();
    return found;
}

QStringList BoardSelector::chooserEntries(const QStringList &found) const
{
    QStringList entries;
    for (const QString &id : found) {
        const QString name = m_nameLookup ? m_nameLookup(id) : QString();
        entries << (name.isEmpty() ? id : name);
    }
    return entries;
}

BoardSelector::Decision BoardSelector::decide(const QStringList &arguments,
                                              const QString &storedModule, bool remember) const
{
    Decision decision;
    decision.found = findBoardTypes(arguments);
    if (decision.found.isEmpty()) {
        decision.road = Road::NoBoard;
        return decision;
    }
    if (decision.found.size() == 1) {
        decision.road = Road::OneBoard;
        decision.moduleId = decision.found.first();
        return decision;
    }

    decision.road = Road::SeveralBoards;
    // A remembered module is used without asking, even when no board of its type is present.
    if (!storedModule.isEmpty() && remember) {
        decision.moduleId = storedModule;
        return decision;
    }
    const int choice = m_chooser ? m_chooser(chooserEntries(decision.found)) : -1;
    if (choice >= 1 && choice <= decision.found.size()) {
        decision.moduleId = decision.found.at(choice - 1);
        decision.storeModule = true;
    } else {
        decision.moduleId = standardBoardId;
    }
    return decision;
}
