#include "ports/KSerialBaud.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool SetCustomBaud(int fd, uint32_t baud) {
    struct termios2 settings {};
    if (::ioctl(fd, TCGETS2, &settings) != 0) return false;
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = baud;
    settings.c_ospeed = baud;
    return ::ioctl(fd, TCSETS2, &settings) == 0;
}

uint32_t ReadDeviceBaud(int fd) {
    struct termios2 settings {};
    if (::ioctl(fd, TCGETS2, &settings) != 0) return 0;
    return settings.c_ospeed;
}
