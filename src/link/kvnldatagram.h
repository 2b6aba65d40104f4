#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Command numbers of the KVNL requests the program sends; every one goes to module address 1.
enum KvnlCommand : quint8 {
    KvnlWriteRegister = 0x45,
    KvnlReadRegister = 0x46,
    KvnlFirmwareVersion = 0x88,
    KvnlDetectionRead = 0x8F,
    KvnlBootErase = 0xC8,
    KvnlBootProgramWord = 0xC9,
    KvnlBootWritePage = 0xCA,
    KvnlBootChecksum = 0xCB,
    KvnlBootStartApplication = 0xCD,
    KvnlBootQuery = 0xCE,
    KvnlBootImageInfo = 0xD0,
    KvnlEnterBootLoader = 0xF2
};

// Byte 2 of a reply, read as a signed number. Any other value is handed on unchanged.
enum KvnlReplyStatus : int {
    KvnlReplyNone = 0, // no reply within the budget, or the request was not sent
    KvnlReplyBrownOut = 11, // the board saw its supply drop
    KvnlReplySuccess = 100
};

// One nine-byte request: module, command, type, motor or bank, the value with its most
// significant byte first, and the sum of the first eight bytes modulo 256.
struct KvnlDatagram
{
    static constexpr int size = 9;

    quint8 module = 1;
    quint8 command = 0;
    quint8 type = 0;
    quint8 motor = 0;
    qint32 value = 0;

    // Writes the nine bytes into a buffer of at least nine bytes.
    void encodeInto(char *bytes) const;
    QByteArray encoded() const;

    static quint8 checksum(const char *bytes, int count = size - 1);
    static void encodeValue(qint32 value, char *fourBytes);
    static qint32 decodeValue(const char *fourBytes);
};

// The reader side of the protocol: pure functions over the bytes collected for one request,
// free of any port, so that they can be tested and fuzzed on their own.
namespace KvnlReply {
// A reply is complete once more than eight bytes were collected.
bool isComplete(const QByteArray &reply);
// Byte 2 as a signed 8-bit number; 0 when the reply is shorter than three bytes.
int status(const QByteArray &reply);
// Bytes 4 to 7 when exactly nine bytes were collected, else 0.
qint32 value(const QByteArray &reply);
// Exactly nine bytes whose last byte is the sum of the other eight.
bool checksumValid(const QByteArray &reply);
// The commands whose replies carry a checksum the link verifies: register write, register read
// and the detection read. The version reply is text and carries none.
bool hasCheckedChecksum(quint8 command);
// The reply bytes as Latin-1 text up to the first zero byte.
QString versionText(const QByteArray &reply);
// Removes the frame of a version answer. A text longer than seven characters whose first
// character is neither a letter nor a digit is framed: *status becomes the code of its third
// character (signed 8 bit), the first character goes, and the next one too unless it is a digit.
// Any other text comes back unchanged and *status is not touched.
QString unframeVersion(const QString &text, int *status);
// Whether an unframed version text came as the board sends it: one whole reply of nine bytes
// whose text is printable ASCII. Noise ahead of a reply can pass the frame test; this it cannot.
bool isVersionReply(const QByteArray &reply, const QString &unframed);
} // namespace KvnlReply
