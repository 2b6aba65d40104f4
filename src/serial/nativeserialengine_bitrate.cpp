#include "serial/nativeserialengine_bitrate.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>

#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace NativeBitRate {

bool setBoth(int descriptor, int rate)
{
    if (descriptor < 0 || rate <= 0)
        return false;
    struct termios2 settings = {};
    if (ioctl(descriptor, TCGETS2, &settings) != 0)
        return false;
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = unsigned(rate);
    settings.c_ospeed = unsigned(rate);
    int result;
    do {
        result = ioctl(descriptor, TCSETS2, &settings);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool read(int descriptor, int *input, int *output)
{
    struct termios2 settings = {};
    if (descriptor < 0 || ioctl(descriptor, TCGETS2, &settings) != 0)
        return false;
    *input = int(settings.c_ispeed);
    *output = int(settings.c_ospeed);
    return true;
}

} // namespace NativeBitRate
