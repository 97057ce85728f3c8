// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// From the name in the script's TELNET.LIT command to what to connect to, read from the
// Configuration store (read-only): a stored host record's details, or, when the settings permit
// name resolution, the name itself as a Telnet host.
#pragma once

#include "Outcome.h"
#include "SerialLine.h"
#include "StoreLayout.h"

#include <cstdint>
#include <string>
#include <variant>

namespace zeb::engine {

// The port of a Telnet record that names none: the standard one, as the host editor offers it.
inline constexpr std::uint16_t TELNET_PORT = [] {
    std::uint16_t number = 0;
    for (const char* digit = layout::TELNET_STANDARD_PORT; *digit != '\0'; ++digit) {
        number = static_cast<std::uint16_t>(number * 10 + (*digit - '0'));
    }
    return number;
}();
// The terminal type announced when neither the record nor the settings name one (RFC 1091).
inline constexpr const char* UNKNOWN_TERMINAL_TYPE = "UNKNOWN";

struct TelnetTarget {
    std::string address;
    std::uint16_t port = TELNET_PORT;
    std::string terminalType;
    std::string traceFile; // as stored; empty: no trace
};

struct SerialTarget {
    std::string device;
    LineSettings line;
    std::string traceFile;
};

using HostTarget = std::variant<TelnetTarget, SerialTarget>;

// A name listed in HostList is read from Hosts\<name>: Transport chooses Telnet (Address, Port,
// 23 when empty) or serial (Port, Baud, DataBits, Parity, StopBits, FlowControl); TTY is the
// terminal type, the default emulation of Settings when empty; TraceFile is kept. Any other name
// is a Telnet host on port 23 when Settings\EnableNR is exactly "Y", and not defined otherwise.
// Each failure text tells the user what is wrong with which record.
Outcome<HostTarget> resolveHost(const std::string& name);

// Where the trace goes: an absolute name as it stands, a relative one in the user's home folder.
std::string traceFilePath(const std::string& traceFile);

} // namespace zeb::engine
