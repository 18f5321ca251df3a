#pragma once
// The line settings as a kernel termios2 record. This header brings in
// <asm/termbits.h>, which cannot sit beside glibc's <termios.h>: only the
// device file and its test include it.
#include <asm/termbits.h>

#include "serial/line_settings.h"

namespace tq::serial {

// `current` (as read from the device) with the settings written in: raw
// mode (no echo, no line editing, no character translation), receiver on,
// modem lines ignored, reads return from one byte, any baud rate (BOTHER).
// Bits the settings do not speak of are kept.
termios2 withLineSettings(termios2 current, const LineSettings& settings);

}  // namespace tq::serial
