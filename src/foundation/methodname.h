#pragma once

#include <QString>

// Turns a compiler signature ("void DebManager::setMessageOutput(bool)") into the short form
// "DebManager::setMessageOutput()" with which every trace line begins. Understands what g++
// writes besides plain members: namespaces and templates in return types and names, the
// " [with T = ...]" clause, operators, trailing qualifiers and lambdas (named after the
// function that holds them).
QString methodName(const QString &signature);

#define KVN_METHOD methodName(QString::fromLatin1(Q_FUNC_INFO))
