#include "fuzzsupport.h"

#include "platform/systeminfo.h"

// The summary of the system report: "Key: value" lines of any length, any bytes.
namespace {

QList<QByteArray> seeds()
{
    QByteArray report;
    const char *keys[] = {"Host Name",        "OS Name",
                          "OS Version",       "OS Manufacturer",
                          "OS Configuration", "OS Build Type",
                          "Registered Owner", "Registered Organization",
                          "Product ID",       "Original Install Date",
                          "System Boot Time", "System Manufacturer",
                          "System Model"};
    for (const char *key : keys)
        report += QByteArray(key) + ": value of " + key + "\n";
    const QByteArray x64 = report
        + "System Type: x64-based PC\nProcessor(s): 1 Processor(s) "
          "Installed.\n[01]: Intel64 Family 6 Model 142 GenuineIntel\n";
    const QByteArray x86 = report + "System Type: X86-based PC\nProcessor(s): 1\n[01]: AMD\n";
    return {
        x64,
        x86,
        report + "System Type: x64-based PC\n",
        QByteArray("Host Name: a\nOS Name: Debian GNU/Linux 12 (bookworm)\nSystem Type: "
                   "x64-based PC\nProcessor(s): 2\n[01]: ARM\n"),
        QByteArray("OS Name: with\0zero\r\n\n:\n::\nx64-based PC\n", 40),
        QByteArray(),
    };
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::initialize(FuzzSupport::CoreApplication, seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString summary = summarizeSystemReport(FuzzSupport::bytes(data, size));
    if (summary.isEmpty())
        __builtin_trap(); // every report, however bad, has a summary
    return 0;
}
