#include "serial/nativeserialengine_termios.h"

#include "serial/abstractserial.h"

namespace NativeTermios {

void makeRaw(termios &settings)
{
    settings.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF
                          | IXANY | IUCLC | IMAXBEL);
    settings.c_oflag &= ~OPOST;
    settings.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    // Receiver on, and no dependence on the carrier line: a board need not drive DCD.
    settings.c_cflag |= CREAD | CLOCAL;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
}

int dataBits(const termios &settings)
{
    switch (settings.c_cflag & CSIZE) {
    case CS5:
        return AbstractSerial::DataBits5;
    case CS6:
        return AbstractSerial::DataBits6;
    case CS7:
        return AbstractSerial::DataBits7;
    case CS8:
        return AbstractSerial::DataBits8;
    }
    return -1;
}

int parity(const termios &settings)
{
    const tcflag_t flags = settings.c_cflag & parityFlags;
    if (!(flags & PARENB))
        return AbstractSerial::ParityNone;
    if (flags & CMSPAR)
        return flags & PARODD ? AbstractSerial::ParityMark : AbstractSerial::ParitySpace;
    return flags & PARODD ? AbstractSerial::ParityOdd : AbstractSerial::ParityEven;
}

int stopBits(const termios &settings)
{
    if (!(settings.c_cflag & CSTOPB))
        return AbstractSerial::StopBits1;
    // A UART sends one and a half stop bits for CSTOPB with five-bit characters.
    return (settings.c_cflag & CSIZE) == CS5 ? AbstractSerial::StopBits1_5
                                             : AbstractSerial::StopBits2;
}

int flow(const termios &settings)
{
    const bool hardware = settings.c_cflag & CRTSCTS;
    const bool xon = settings.c_iflag & IXON;
    const bool xoff = settings.c_iflag & IXOFF;
    if (hardware && !xon && !xoff)
        return AbstractSerial::FlowControlHardware;
    if (!hardware && xon && xoff)
        return AbstractSerial::FlowControlXonXoff;
    if (!hardware && !xon && !xoff)
        return AbstractSerial::FlowControlOff;
    return -1;
}

bool setDataBits(termios &settings, int dataBits)
{
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    if (dataBits < 0 || dataBits > 3)
        return false;
    settings.c_cflag = (settings.c_cflag & ~CSIZE) | sizes[dataBits];
    return true;
}

bool setParity(termios &settings, int parity)
{
    static const tcflag_t flags[]
        = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD, PARENB | CMSPAR};
    if (parity < 0 || parity > 4)
        return false;
    settings.c_cflag = (settings.c_cflag & ~parityFlags) | flags[parity];
    // Received characters are checked whenever the line carries a parity bit.
    if (parity == AbstractSerial::ParityNone)
        settings.c_iflag &= ~INPCK;
    else
        settings.c_iflag |= INPCK;
    return true;
}

bool setStopBits(termios &settings, int stopBits)
{
    if (stopBits < 0 || stopBits > 2)
        return false;
    if (stopBits == AbstractSerial::StopBits1)
        settings.c_cflag &= ~CSTOPB;
    else
        settings.c_cflag |= CSTOPB;
    return true;
}

bool setFlow(termios &settings, int flow)
{
    if (flow < 0 || flow > 2)
        return false;
    settings.c_cflag &= ~CRTSCTS;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (flow == AbstractSerial::FlowControlHardware)
        settings.c_cflag |= CRTSCTS;
    else if (flow == AbstractSerial::FlowControlXonXoff)
        settings.c_iflag |= IXON | IXOFF;
    return true;
}

speed_t speedConstant(int rate)
{
    struct Entry
    {
        int rate;
        speed_t constant;
    };
    static const Entry table[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    };
    for (const Entry &entry : table) {
        if (entry.rate == rate)
            return entry.constant;
    }
    return B0;
}

} // namespace NativeTermios
