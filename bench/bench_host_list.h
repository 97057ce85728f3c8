// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The host list an administrator provisions, as a .reg file and imported into a store file.
#pragma once

#include "SqliteRegistry.h"
#include "StoreLayout.h"
#include "ZebReg.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

namespace bench {

// The .reg file of `records` host records as an administrator provisions them: HostList, then
// Hosts\<name> with all ten values each; even numbers serial, odd ones TCP/IP.
inline std::string HostListFile(int records) {
    namespace layout = zeb::layout;
    const auto quoted = [](const std::string& text) { return "\"" + text + "\""; };
    const auto hostName = [](int number) { return "host" + std::to_string(number); };
    std::ostringstream out;
    out << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" << layout::HOSTLIST_KEY << "]\r\n";
    for (int number = 0; number < records; ++number) {
        out << quoted(hostName(number)) << "=" << quoted(layout::HOSTLIST_MARK) << "\r\n";
    }
    out << "\r\n";
    for (int number = 0; number < records; ++number) {
        const bool serial = number % 2 == 0;
        out << "[HKEY_LOCAL_MACHINE\\" << layout::hostKeyPath(hostName(number)) << "]\r\n";
        const std::pair<const char*, std::string> values[] = {
            {layout::TRANSPORT, serial ? layout::TRANSPORT_SERIAL : layout::TRANSPORT_TELNET},
            {layout::TRACE_FILE, "trace" + std::to_string(number) + ".log"},
            {layout::TTY, "AM75G"},
            {layout::PORT, serial ? "/dev/ttyS0" : "23"},
            {layout::DATA_BITS, "8"},
            {layout::BAUD, "9600"},
            {layout::PARITY, "None"},
            {layout::STOP_BITS, "1"},
            {layout::FLOW_CONTROL, "Xon / Xoff"},
            {layout::ADDRESS,
             "10.0." + std::to_string(number / 250) + "." + std::to_string(number % 250)},
        };
        for (const auto& [name, data] : values) {
            out << quoted(name) << "=" << quoted(data) << "\r\n";
        }
        out << "\r\n";
    }
    return out.str();
}

// A store file holding `records` host records, imported by zeb-reg from a .reg file written in
// `folder`; false when the import failed.
inline bool ImportHostList(const std::string& store, const std::filesystem::path& folder,
                           int records) {
    const std::string regFile = (folder / "hosts.reg").string();
    std::ofstream(regFile, std::ios::binary) << HostListFile(records);
    zeb::reg::SqliteRegistry backend(store);
    std::istringstream in;
    std::ostringstream out;
    zeb::regtool::Console console{in, out, out, false};
    return zeb::regtool::runZebReg(backend, {"import", regFile}, console) == 0;
}

} // namespace bench
