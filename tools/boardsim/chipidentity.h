#pragma once

#include <QString>
#include <QtGlobal>

struct RegisterMapEntry;

namespace boardsim {

enum class Chip { Kvn3141, Kvn3162 };

// What a board with a given chip tells about itself: over USB, in its firmware version answer
// and in the chip's own revision and detection answers.
struct ChipIdentity
{
    Chip chip;
    const char *number; // "3141", "3162"
    const char *firmwareVersion; // eight characters, answered to the version query
    quint16 usbProductId;
    const char *product; // USB product string
    const char *bcdDevice; // USB device release, four hex digits
    const char *serial;
    quint8 revision; // top byte of INP_OUT
    quint8 detectionId; // channel-0 id of the detection read
    const RegisterMapEntry *registerMap;
};

constexpr quint16 usbVendorId = 0x1209;
constexpr const char *usbManufacturer = "Korvane";

const ChipIdentity &chipIdentity(Chip chip);

// "3141" or "3162"; false for anything else.
bool chipFromNumber(const QString &number, Chip *chip);

} // namespace boardsim
