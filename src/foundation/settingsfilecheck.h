#pragma once

#include <QByteArray>

// Looks at a settings file before the settings reader takes it in. The reader turns every value
// written as "@Variant(...)" or "@DateTime(...)" back into data by trusting the counts inside:
// a damaged count makes it reserve room for thousands of millions of entries, and the program
// dies at start-up. The program itself stores only plain kinds in such values (numbers, texts,
// byte arrays, lists and maps of them, sizes, points and rectangles), so a file is accepted only
// when each of those values holds such kinds, nested no deeper than the program nests them, with
// every count within the bytes that follow, and in the form the settings writer gives them.
namespace SettingsFileCheck {
bool isSafe(const QByteArray &iniFile);
}
