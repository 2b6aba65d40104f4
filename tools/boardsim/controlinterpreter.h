#pragma once

#include <QString>
#include <QStringList>

namespace boardsim {

class SimulatedBoard;

// The control channel's language: one command per line, answered by one line "ok ..." or
// "error ...", or by a block of lines that ends with a line "ok".
class ControlInterpreter
{
public:
    explicit ControlInterpreter(SimulatedBoard *board);

    // The whole answer to one command line, each line ended by '\n'.
    QString execute(const QString &line);

    static QString helpText();

private:
    QString get(const QStringList &words);
    QString set(const QStringList &words);
    QString dump();
    QString log(const QStringList &words);
    QString load(const QStringList &words);
    QString input(const QStringList &words);
    QString driver(const QStringList &words);
    QString fault(const QStringList &words);
    QString replug(const QStringList &words);
    QString clock(const QStringList &words);
    QString version(const QStringList &words, const QString &line);
    QString status();

    SimulatedBoard *board;
};

} // namespace boardsim
