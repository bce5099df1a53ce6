#include "ports/KSerialDevice.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "ports/KSerialBaud.h"

namespace {

struct SpeedEntry {
    uint32_t baud;
    speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {{50, B50},         {75, B75},         {110, B110},        {134, B134},
                                  {150, B150},       {200, B200},       {300, B300},        {600, B600},
                                  {1200, B1200},     {1800, B1800},     {2400, B2400},      {4800, B4800},
                                  {9600, B9600},     {19200, B19200},   {38400, B38400},    {57600, B57600},
                                  {115200, B115200}, {230400, B230400}, {460800, B460800},  {500000, B500000},
                                  {576000, B576000}, {921600, B921600}, {1000000, B1000000}};

int CloseKeepingErrno(int fd, int error) {
    ::close(fd);
    errno = error;
    return -1;
}

}  // namespace

int OpenSerialDevice(const std::string& path) {
    // Non-blocking, so that opening never waits for a carrier.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) return CloseKeepingErrno(fd, ENOTTY);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return CloseKeepingErrno(fd, EBUSY);
    (void)::ioctl(fd, TIOCEXCL);
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~CRTSCTS;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    // With O_NONBLOCK, VMIN 1 tells "nothing yet" (EAGAIN) from "hung up" (0 bytes).
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) return CloseKeepingErrno(fd, errno);
    return fd;
}

std::optional<speed_t> StandardSpeed(uint32_t baud) {
    for (const SpeedEntry& entry : kSpeeds)
        if (entry.baud == baud) return entry.speed;
    return std::nullopt;
}

std::optional<termios> SerialTermios(const termios& current, const KSerialSpec& spec) {
    constexpr tcflag_t kSizes[] = {CS8, CS7, CS6, CS5};
    constexpr tcflag_t kParities[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD, PARENB | CMSPAR};
    if (spec.dataBits < 0 || spec.dataBits > 3 || spec.parity < 0 || spec.parity > 4) return std::nullopt;
    const bool fiveBits = spec.dataBits == 3;
    tcflag_t stop = 0;
    switch (spec.stopBits) {
        case 0:
            break;
        case 1:  // a UART sends 1.5 stop bits for CSTOPB with 5 data bits, and only then
            if (!fiveBits) return std::nullopt;
            stop = CSTOPB;
            break;
        case 2:
            if (fiveBits) return std::nullopt;
            stop = CSTOPB;
            break;
        default:
            return std::nullopt;
    }
    termios settings = current;
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    settings.c_cflag |= kSizes[spec.dataBits] | kParities[spec.parity] | stop;
    settings.c_iflag &= ~(INPCK | ISTRIP | IGNPAR | PARMRK);
    if (const auto speed = StandardSpeed(spec.baud)) {
        ::cfsetispeed(&settings, *speed);
        ::cfsetospeed(&settings, *speed);
    }
    return settings;
}

bool ApplySerialParams(int fd, const KSerialSpec& spec) {
    termios old{};
    if (::tcgetattr(fd, &old) != 0) return false;
    const std::optional<termios> wanted = SerialTermios(old, spec);
    if (!wanted) return false;
    const bool custom = !StandardSpeed(spec.baud);
    if (custom && spec.baud == 0) return false;
    bool applied = ::tcsetattr(fd, TCSANOW, &*wanted) == 0;
    if (applied && custom) applied = SetCustomBaud(fd, spec.baud);
    termios now{};
    // A driver without mark and space parity clears CMSPAR rather than refusing.
    if (applied && (::tcgetattr(fd, &now) != 0 || (now.c_cflag & CMSPAR) != (wanted->c_cflag & CMSPAR)))
        applied = false;
    if (!applied) (void)::tcsetattr(fd, TCSANOW, &old);
    return applied;
}

bool SetModemLine(int fd, int line, bool on) { return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0; }

std::optional<bool> ModemLine(int fd, int line) {
    int status = 0;
    if (::ioctl(fd, TIOCMGET, &status) != 0) return std::nullopt;
    return (status & line) != 0;
}
