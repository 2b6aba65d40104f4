#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

// What every fuzz target shares: a private home for settings, temporary files and the system
// roots, the Qt application object, silence for Qt's messages, and the seed writer.
namespace FuzzSupport {

enum Application { CoreApplication, WidgetApplication };

using SeedMaker = std::function<QList<QByteArray>()>;

// Call from LLVMFuzzerInitialize. With KVN_FUZZ_SEED_DIR set, writes the seeds into that
// directory (one file each) and ends the process: the run script makes the corpus this way, so
// that nothing but code is kept in the repository. The seeds are made once the application
// object exists, so a target may make them with the program's own writers.
void initialize(Application application, const SeedMaker &makeSeeds);

// The private directory of this process; removed again when the fuzzer ends normally.
QString workDirectory();

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Splits an input at a separator byte into at most `limit` parts, the rest joined into the last.
QList<QByteArray> split(const QByteArray &input, char separator, int limit);

} // namespace FuzzSupport
