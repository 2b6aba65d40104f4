#include "serial/nativeserialengine.h"

#include "platform/systemroots.h"
#include "serial/abstractserialnotifier.h"
#include "serial/nativeserialengine_bitrate.h"
#include "serial/nativeserialengine_p.h"
#include "serial/nativeserialengine_termios.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
template<typename Call> int withoutInterrupt(Call call)
{
    int result;
    do {
        result = call();
    } while (result == -1 && errno == EINTR);
    return result;
}

// Drivers may round a rate they cannot make exactly; within this many per mille it counts as
// the rate asked for.
constexpr int rateTolerancePerMille = 30;

bool rateMatches(int actual, int wanted)
{
    return std::abs(qint64(actual) - wanted) * 1000 <= qint64(wanted) * rateTolerancePerMille;
}
} // namespace

NativeSerialEngine::NativeSerialEngine(QObject *parent)
    : AbstractSerialEngine(*new NativeSerialEnginePrivate, parent)
{ }

NativeSerialEngine::~NativeSerialEngine()
{
    close();
}

NativeSerialEnginePrivate *NativeSerialEngine::native() const
{
    return static_cast<NativeSerialEnginePrivate *>(d_ptr);
}

QString NativeSerialEngine::devicePath() const
{
    // Tests and users may name a node directly (a pty slave such as /dev/pts/5); the ports the
    // enumerator lists carry no prefix and live in the device root.
    const QString name = d_ptr->deviceName;
    if (name.startsWith(QLatin1Char('/')))
        return name;
    return SystemRoots::devRoot() + QLatin1Char('/') + name;
}

bool NativeSerialEngine::open(QIODevice::OpenMode mode)
{
    NativeSerialEnginePrivate *d = native();
    if (d->descriptor >= 0) {
        d->openError = EBUSY;
        return false;
    }
    d->openError = 0;
    errno = 0;

    int access = O_RDWR;
    if (!(mode & QIODevice::WriteOnly))
        access = O_RDONLY;
    else if (!(mode & QIODevice::ReadOnly))
        access = O_WRONLY;
    const QByteArray path = QFile::encodeName(devicePath());
    d->descriptor = withoutInterrupt(
        [&] { return ::open(path.constData(), access | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (d->descriptor < 0)
        return openFailed();

    if (!lockDevice() || tcgetattr(d->descriptor, &d->oldSettings) != 0
        || !NativeBitRate::read(d->descriptor, &d->oldInputBaudRate, &d->oldOutputBaudRate))
        return openFailed();
    d->oldSettingsSaved = true;

    d->settings = d->oldSettings;
    NativeTermios::makeRaw(d->settings);
    if (tcsetattr(d->descriptor, TCSANOW, &d->settings) != 0
        || tcgetattr(d->descriptor, &d->settings) != 0)
        return openFailed();
    d->readTotalTimeoutConstant = 0;
    d->autoTotalReadTimeout = false;
    readBackSettings();
    return true;
}

bool NativeSerialEngine::openFailed()
{
    // The step's errno goes first: closing may set its own. A step that failed without one
    // (a bit rate the driver cannot report) is an input/output error.
    const int error = errno != 0 ? errno : EIO;
    close();
    native()->openError = error;
    return false;
}

bool NativeSerialEngine::lockDevice()
{
    const int fd = d_ptr->descriptor;
    // TIOCEXCL keeps other users out of the node; root passes it, so the advisory lock (which
    // the port enumerator's busy test takes too) is what makes a second open fail for everyone.
    if (withoutInterrupt([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0)
        return false;
    native()->exclusiveSet = ::ioctl(fd, TIOCEXCL) == 0;
    return native()->exclusiveSet;
}

void NativeSerialEngine::readBackSettings()
{
    NativeSerialEnginePrivate *d = native();
    int input = 0;
    int output = 0;
    if (NativeBitRate::read(d->descriptor, &input, &output)) {
        d->inputBaudRate = input;
        d->outputBaudRate = output;
    }
    d->dataBits = NativeTermios::dataBits(d->settings);
    d->parity = NativeTermios::parity(d->settings);
    d->stopBits = NativeTermios::stopBits(d->settings);
    d->flow = NativeTermios::flow(d->settings);
}

bool NativeSerialEngine::close()
{
    NativeSerialEnginePrivate *d = native();
    if (d->descriptor < 0)
        return true;
    // The notifier watches this descriptor: it goes first, so that no watcher is left on a
    // number the system hands out again.
    releaseNotifier();
    if (d->oldSettingsSaved) {
        tcsetattr(d->descriptor, TCSANOW, &d->oldSettings);
        if (d->oldInputBaudRate == d->oldOutputBaudRate
            && NativeTermios::speedConstant(d->oldOutputBaudRate) == B0)
            NativeBitRate::setBoth(d->descriptor, d->oldOutputBaudRate);
        d->oldSettingsSaved = false;
    }
    // The exclusive flag stays on the tty after the last close otherwise, and a pty slave
    // outlives this descriptor while its master is open.
    if (d->exclusiveSet)
        ::ioctl(d->descriptor, TIOCNXCL);
    d->exclusiveSet = false;
    const bool closed = ::close(d->descriptor) == 0 || errno == EINTR;
    d->descriptor = -1;
    return closed;
}

bool NativeSerialEngine::applySettings(unsigned controlFlags, unsigned inputFlags)
{
    NativeSerialEnginePrivate *d = native();
    if (d->descriptor < 0)
        return false;
    if (withoutInterrupt([&] { return tcsetattr(d->descriptor, TCSANOW, &d->settings); }) != 0) {
        // The working copy follows the port again: a refused value would otherwise ride along
        // with every later setting and make it fail too.
        tcgetattr(d->descriptor, &d->settings);
        return false;
    }
    // tcsetattr reports success when any part was taken; a driver may keep its own value (a
    // pty keeps eight data bits and no parity), which must not count as set.
    termios actual = {};
    if (tcgetattr(d->descriptor, &actual) != 0)
        return false;
    const bool taken = ((actual.c_cflag ^ d->settings.c_cflag) & controlFlags) == 0
        && ((actual.c_iflag ^ d->settings.c_iflag) & inputFlags) == 0;
    d->settings = actual;
    return taken;
}

bool NativeSerialEngine::setBaudRate(int rate, AbstractSerial::BaudRateDirection direction)
{
    NativeSerialEnginePrivate *d = native();
    if (direction != AbstractSerial::AllBaud || rate <= 0 || d->descriptor < 0)
        return false;
    const speed_t constant = NativeTermios::speedConstant(rate);
    if (constant != B0) {
        termios edited = d->settings;
        // A rate set by number earlier sits in the input-rate field; clear it so that input
        // follows the output rate again.
        edited.c_cflag &= ~CIBAUD;
        if (cfsetospeed(&edited, constant) != 0 || cfsetispeed(&edited, constant) != 0)
            return false;
        d->settings = edited;
        if (!applySettings(0, 0))
            return false;
    } else {
        if (!NativeBitRate::setBoth(d->descriptor, rate))
            return false;
        tcgetattr(d->descriptor, &d->settings);
    }
    int input = 0;
    int output = 0;
    if (!NativeBitRate::read(d->descriptor, &input, &output) || !rateMatches(input, rate)
        || !rateMatches(output, rate))
        return false;
    d->inputBaudRate = rate;
    d->outputBaudRate = rate;
    recalculateReadTimeout();
    return true;
}

bool NativeSerialEngine::dataBitsFitStopBits(int dataBits, int stopBits) const
{
    // Five data bits never go with two stop bits, six to eight never with one and a half; an
    // unknown value on either side is not checked.
    if (dataBits < 0 || stopBits < 0)
        return true;
    if (dataBits == AbstractSerial::DataBits5)
        return stopBits != AbstractSerial::StopBits2;
    return stopBits != AbstractSerial::StopBits1_5;
}

bool NativeSerialEngine::setDataBits(AbstractSerial::DataBits dataBits)
{
    NativeSerialEnginePrivate *d = native();
    termios edited = d->settings;
    if (!NativeTermios::setDataBits(edited, dataBits)
        || !dataBitsFitStopBits(dataBits, d->stopBits))
        return false;
    d->settings = edited;
    if (!applySettings(NativeTermios::dataBitsFlags, 0))
        return false;
    d->dataBits = dataBits;
    recalculateReadTimeout();
    return true;
}

bool NativeSerialEngine::setParity(AbstractSerial::Parity parity)
{
    NativeSerialEnginePrivate *d = native();
    termios edited = d->settings;
    if (!NativeTermios::setParity(edited, parity))
        return false;
    d->settings = edited;
    if (!applySettings(NativeTermios::parityFlags, 0))
        return false;
    d->parity = parity;
    recalculateReadTimeout();
    return true;
}

bool NativeSerialEngine::setStopBits(AbstractSerial::StopBits stopBits)
{
    NativeSerialEnginePrivate *d = native();
    termios edited = d->settings;
    if (!NativeTermios::setStopBits(edited, stopBits)
        || !dataBitsFitStopBits(d->dataBits, stopBits))
        return false;
    d->settings = edited;
    if (!applySettings(NativeTermios::stopBitsFlags, 0))
        return false;
    d->stopBits = stopBits;
    recalculateReadTimeout();
    return true;
}

bool NativeSerialEngine::setFlowControl(AbstractSerial::Flow flow)
{
    NativeSerialEnginePrivate *d = native();
    termios edited = d->settings;
    if (!NativeTermios::setFlow(edited, flow))
        return false;
    d->settings = edited;
    if (!applySettings(NativeTermios::flowControlFlags, NativeTermios::flowInputFlags))
        return false;
    d->flow = flow;
    return true;
}

void NativeSerialEngine::setCharIntervalTimeout(int usecs)
{
    d_ptr->charIntervalTimeout = usecs;
    recalculateReadTimeout();
}

int NativeSerialEngine::charIntervalTimeout() const
{
    return d_ptr->charIntervalTimeout;
}

void NativeSerialEngine::setTotalReadConstantTimeout(int msecs)
{
    NativeSerialEnginePrivate *d = native();
    if (msecs == -1) {
        d->autoTotalReadTimeout = true;
        recalculateReadTimeout();
        return;
    }
    d->autoTotalReadTimeout = false;
    d->readTotalTimeoutConstant = msecs;
}

int NativeSerialEngine::totalReadConstantTimeout() const
{
    return native()->readTotalTimeoutConstant;
}

void NativeSerialEngine::recalculateReadTimeout()
{
    NativeSerialEnginePrivate *d = native();
    if (!d->autoTotalReadTimeout)
        return;
    const int timeout = d->automaticReadTimeout();
    if (timeout >= 0)
        d->readTotalTimeoutConstant = timeout;
}

qint64 NativeSerialEngine::reservedQuery0() const
{
    return -1;
}

qint64 NativeSerialEngine::reservedQuery1() const
{
    return -1;
}
