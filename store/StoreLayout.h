// Where ZEB keeps its settings and host records: every key path and value name, in one place.
// All paths are below HKEY_LOCAL_MACHINE and used whole; every value ZEB writes is REG_SZ text.
#pragma once

namespace zeb::layout {

// Keys.
inline constexpr const char* SETTINGS_KEY = "SOFTWARE\\Verdastone\\Kelm\\ZEB\\Settings";
inline constexpr const char* HOSTS_KEY = "SOFTWARE\\Verdastone\\Kelm\\ZEB\\Hosts"; // + "\\" + name
inline constexpr const char* HOSTLIST_KEY = "SOFTWARE\\Verdastone\\Kelm\\ZEB\\HostList";

// The machine's serial ports: read-only, one value per port whose data is the device path.
inline constexpr const char* SERIAL_DEVICE_MAP_KEY = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

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

// Stored transports; readers compare them without regard to letter case.
inline constexpr const char* TRANSPORT_SERIAL = "SERIAL";
inline constexpr const char* TRANSPORT_TELNET = "TELNET";

} // namespace zeb::layout
