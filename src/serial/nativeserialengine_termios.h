#pragma once

#include <termios.h>

// The line settings of a struct termios in AbstractSerial's enumeration values, both ways.
// Readers answer -1 for a combination that matches no enumeration value.
namespace NativeTermios {

// Raw byte transport: no echo, no CR/LF mapping, no signals, no software flow, reads that
// return at once (VMIN/VTIME 0). Bit rate, character size, parity, stop bits and hardware flow
// stay as the port had them.
void makeRaw(termios &settings);

int dataBits(const termios &settings);
int parity(const termios &settings);
int stopBits(const termios &settings);
int flow(const termios &settings);

// Writers answer false for a value outside the enumeration and leave settings unchanged.
bool setDataBits(termios &settings, int dataBits);
bool setParity(termios &settings, int parity);
bool setStopBits(termios &settings, int stopBits);
bool setFlow(termios &settings, int flow);

// The B constant of a rate in bits per second, or B0 when the table of constants lacks it.
speed_t speedConstant(int rate);

// The flags each setting lives in, to compare what a driver took with what was asked.
constexpr tcflag_t dataBitsFlags = CSIZE;
constexpr tcflag_t parityFlags = PARENB | PARODD | CMSPAR;
constexpr tcflag_t stopBitsFlags = CSTOPB;
constexpr tcflag_t flowControlFlags = CRTSCTS;
constexpr tcflag_t flowInputFlags = IXON | IXOFF;

} // namespace NativeTermios
