// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Serial lines: a host record's line settings, as the store holds them, put into termios, and the
// port opened for this engine alone.
#pragma once

#include "Outcome.h"
#include "UniqueFd.h"

#include <string>
#include <termios.h>
#include <vector>

namespace zeb::engine {

enum class Parity { None, Even, Odd, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };
enum class FlowControl { None, Hardware, XonXoff };

struct LineSettings {
    int baud = 9600;
    int dataBits = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    FlowControl flowControl = FlowControl::None;

    bool operator==(const LineSettings&) const = default;
};

// The settings from the stored texts (the choice lists' entries; letter case does not matter).
// An empty text takes the default: 9600, 8, None, 1, None. Any other text is a failure.
Outcome<LineSettings> parseLineSettings(const std::string& baud, const std::string& dataBits,
                                        const std::string& parity, const std::string& stopBits,
                                        const std::string& flowControl);

// A short description for the terminal, such as "9600 baud, 8 data bits, parity None, 1 stop bit,
// flow control None".
std::string describeLineSettings(const LineSettings& settings);

// Makes `line` a raw line with the settings. termios has no 1.5 stop bits of its own: a UART
// sends 1.5 when asked for two with 5-bit characters, so 1.5 is exact there; with longer
// characters 2 stop bits are used (a receiver reads only the first) and a note says so. The notes
// are for the user.
std::vector<std::string> applyLineSettings(termios& line, const LineSettings& settings);

// Opens the port for this engine alone (an exclusive lock and TIOCEXCL, so neither another
// program nor a second engine can use it meanwhile) and applies the settings. The settings are
// read back: what the line did not keep (a driver without mark and space parity, a
// pseudo-terminal that always keeps 8 data bits and no parity) is named in a note, and the
// connection goes on. The failure texts say plainly when the port is busy, not permitted or
// missing; `notes` collects what the user should know about the settings.
Outcome<UniqueFd> openSerialLine(const std::string& device, const LineSettings& settings,
                                 std::vector<std::string>& notes);

} // namespace zeb::engine
