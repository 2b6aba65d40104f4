#pragma once

#include <QString>

// Turns a compiler signature ("void DebManager::setMessageOutput(bool)") into the short form
// "DebManager::setMessageOutput()" with which every trace line begins.
QString methodName(const QString &signature);

#define KVN_METHOD methodName(QString::fromLatin1(Q_FUNC_INFO))
