// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Where ZEB keeps its settings and host records: every key path, value name and the texts the
// values hold, in one place.
// All paths are below HKEY_LOCAL_MACHINE and used whole; every value ZEB writes is REG_SZ text.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace zeb::layout {

// Keys.
inline constexpr const char* SETTINGS_KEY = "SOFTWARE\\Verdastone\\Kelm\\ZEB\\Settings";
inline constexpr const char* HOSTS_KEY = "SOFTWARE\\Verdastone\\Kelm\\ZEB\\Hosts"; // hostKeyPath
inline constexpr const char* HOSTLIST_KEY = "SOFTWARE\\Verdastone\\Kelm\\ZEB\\HostList";

// The machine's serial ports: read-only, one value per port whose data is the device path.
inline constexpr const char* SERIAL_DEVICE_MAP_KEY = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The terminal engine's registration: its default value (empty name) is the command line of the
// engine program that ZEB starts (engine-protocol.md). Written by an administrator, read by ZEB.
inline constexpr const char* ENGINE_SERVER_KEY =
    "SOFTWARE\\Classes\\Orvane.TerminalEngine\\LocalServer32";

// Values of Settings.
inline constexpr const char* DEFAULT_TTY = "DefaultTTY";
inline constexpr const char* ENABLE_NR = "EnableNR"; // exactly "Y" permits typed host names
inline constexpr const char* ENABLE_NR_YES = "Y";
inline constexpr const char* ENABLE_NR_NO = "N";

// The data of every HostList value; readers use only the value's name.
inline constexpr const char* HOSTLIST_MARK = "1";

// Values of Hosts\<name>.
inline constexpr const char* TRANSPORT = "Transport";
inline constexpr const char* TRACE_FILE = "TraceFile";
inline constexpr const char* TTY = "TTY";
inline constexpr const char* PORT = "Port";
inline constexpr const char* DATA_BITS = "DataBits";
inline constexpr const char* BAUD = "Baud";
inline constexpr const char* PARITY = "Parity";
inline constexpr const char* STOP_BITS = "StopBits";
inline constexpr const char* FLOW_CONTROL = "FlowControl";
inline constexpr const char* ADDRESS = "Address";

// The standard Telnet port: what a Telnet record's Port means when empty, and what the host editor
// offers for a new one.
inline constexpr const char* TELNET_STANDARD_PORT = "23";

// Stored transports; readers compare them without regard to letter case.
inline constexpr const char* TRANSPORT_SERIAL = "SERIAL";
inline constexpr const char* TRANSPORT_TELNET = "TELNET";

// Hosts\<name>: the key of one host record. The name is used as it stands, so a backslash in it
// names a key nested below Hosts.
inline std::string hostKeyPath(std::string_view name) {
    return std::string(HOSTS_KEY) + "\\" + std::string(name);
}

// The texts the list values of a record (and DefaultTTY) hold: the dialogs offer exactly these
// entries, in this order, and store the chosen one as it stands; an empty text means none was
// chosen. The engine reads the serial line's texts without regard to letter case and checks at
// compile time that it has a line setting for each, so a new entry is one line here plus its
// setting there.
namespace choices {

// The entries a dialog picks by itself (a new serial record's line, the emulation on first use)
// are named, so that the dialog and the list cannot disagree on their spelling.
inline constexpr const char* BAUD_9600 = "9600";
inline constexpr std::array BAUD_RATES{"110",     "300",   "1200",  "2400", "4800",
                                       BAUD_9600, "19200", "38400", "57600"};
inline constexpr const char* DATA_BITS_EIGHT = "8";
inline constexpr std::array DATA_BITS{"5", "6", "7", DATA_BITS_EIGHT};
inline constexpr const char* EMULATION_AM75G = "AM75G";
inline constexpr std::array EMULATIONS{"AM65", "AM65G", "AM75", EMULATION_AM75G};

// "None" stands in two lists.
inline constexpr const char* FLOW_HARDWARE = "Hardware";
inline constexpr const char* FLOW_XON_XOFF = "Xon / Xoff";
inline constexpr const char* FLOW_NONE = "None";
inline constexpr std::array FLOW_CONTROLS{FLOW_HARDWARE, FLOW_XON_XOFF, FLOW_NONE};

inline constexpr const char* PARITY_EVEN = "Even";
inline constexpr const char* PARITY_ODD = "Odd";
inline constexpr const char* PARITY_NONE = "None";
inline constexpr const char* PARITY_MARK = "Mark";
inline constexpr const char* PARITY_SPACE = "Space";
inline constexpr std::array PARITIES{PARITY_EVEN, PARITY_ODD, PARITY_NONE, PARITY_MARK,
                                     PARITY_SPACE};

inline constexpr const char* STOP_BITS_ONE = "1";
inline constexpr const char* STOP_BITS_ONE_AND_HALF = "1.5"; // with a full stop, in any locale
inline constexpr const char* STOP_BITS_TWO = "2";
inline constexpr std::array STOP_BITS{STOP_BITS_ONE, STOP_BITS_ONE_AND_HALF, STOP_BITS_TWO};

} // namespace choices

} // namespace zeb::layout
