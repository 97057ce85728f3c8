// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The engine's settings in the initialization file that ZEB names on Start's command line.
//
// The file is an INI file that may hold settings of other programs too; the engine reads only its
// own section and ignores everything else:
//
//     [Engine]
//     Terminal=xterm -fa Monospace      ; the terminal program's command (quotes group words);
//                                       ; the engine adds "-e" and its own command, which the
//                                       ; program must run inside its window, as xterm does
//     RunStep=Y                         ; Y: NeedsRunStep answers yes; N (the default): no
//     TerminalType=VT220 VT100          ; the terminal types the window's program emulates, offered
//                                       ; to a Telnet host after the record's emulation (RFC 1091);
//                                       ; without it, xterm's own are offered when xterm draws
//                                       ; the window, and only the emulation otherwise
//
// Section and key names compare without regard to case; ';' and '#' start comment lines; CR LF
// line ends and a UTF-8 byte-order mark are accepted. An empty file, or one without the section,
// leaves every setting at its default.
#pragma once

#include "Outcome.h"

#include <string>
#include <string_view>
#include <vector>

namespace zeb::engine {

struct EngineSettings {
    std::vector<std::string> terminalCommand; // empty: the file chooses no terminal program
    bool needsRunStep = false;
    std::vector<std::string> terminalTypes; // upper case; empty: none named
    bool operator==(const EngineSettings&) const = default;
};

// Parses the text of an initialization file; a value the engine cannot use is a failure naming
// the line, so a mistyped setting is not silently replaced by its default.
Outcome<EngineSettings> parseInitText(std::string_view text);

// Reads and parses the file; a file that cannot be read is a failure with the system's reason. Only
// a regular file of at most 1 MiB is read: a FIFO or a device fails at once instead of blocking or
// never ending.
Outcome<EngineSettings> readInitFile(const std::string& path);

} // namespace zeb::engine
