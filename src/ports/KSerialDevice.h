#pragma once

// The tty calls of the serial driver, in one place.

#include <termios.h>

#include <optional>
#include <string>

#include "ports/KPortSpec.h"

/// Opens a tty for reading and writing without sharing: non-blocking, no controlling
/// terminal, an exclusive lock (flock, and TIOCEXCL against other openers), raw mode with
/// the receiver on, modem control lines ignored and no flow control; a read then returns
/// at once with what has arrived (-1 EAGAIN when nothing has, 0 when the device hung up).
/// -1 with errno when the path cannot be opened, is not a tty (ENOTTY) or is in use (EBUSY).
int OpenSerialDevice(const std::string& path);

/// `current` with the baud, data bits, parity and stop bits of `spec` (indexes as in
/// KSerialSpec). nullopt for what a POSIX tty cannot do: 4 data bits, 1.5 stop bits other
/// than with 5 data bits, 2 stop bits with 5 data bits (the UART sends 1.5 then), an index
/// out of range. A baud without a B constant leaves the speed for SetCustomBaud.
std::optional<termios> SerialTermios(const termios& current, const KSerialSpec& spec);
/// The B constant of a baud rate, if it has one.
std::optional<speed_t> StandardSpeed(uint32_t baud);

/// Applies SerialTermios to the tty; false when the combination or the baud is refused, or
/// the driver dropped mark or space parity. The old settings then stay.
bool ApplySerialParams(int fd, const KSerialSpec& spec);

/// TIOCM_DTR, TIOCM_RTS ...; false when the device has no such line.
bool SetModemLine(int fd, int line, bool on);
std::optional<bool> ModemLine(int fd, int line);
