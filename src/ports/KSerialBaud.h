#pragma once

// Baud rates that have no B constant (12800, 14400, 56000 ...). Kept apart because the
// kernel's termios2 header cannot share a translation unit with <termios.h>.

#include <cstdint>

/// Sets both speeds of the tty `fd` to `baud` bits per second; false with errno on failure.
bool SetCustomBaud(int fd, uint32_t baud);
/// The output speed the tty reports in bits per second; 0 on failure.
uint32_t ReadDeviceBaud(int fd);
