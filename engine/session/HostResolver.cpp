// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "HostResolver.h"

#include "CRegKey.h"
#include "ScopedKey.h"
#include "StoreLayout.h"

#include <cstdlib>
#include <pwd.h>
#include <strings.h>
#include <unistd.h>

namespace zeb::engine {

namespace {

using namespace zeb::reg;

// The engine is no dialog with 64-byte buffers: it reads values of any sensible length whole.
constexpr Dword VALUE_BUFFER_SIZE = 4096;

// One key, opened for reading and closed when dropped.
class ReadKey {
public:
    explicit ReadKey(const std::string& path) {
        CRegKey key;
        if (key.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ) == ERROR_SUCCESS) {
            held_.adopt(key);
        }
    }

    bool opened() const { return held_.get() != 0; }

    bool hasValue(const std::string& name) {
        RegValue value;
        const Status status = query(name, value);
        return status == ERROR_SUCCESS || status == ERROR_MORE_DATA;
    }

    // The value's text, empty when it is missing or unreadable.
    std::string text(const char* name) {
        RegValue value;
        return query(name, value) == ERROR_SUCCESS ? textOf(value) : std::string{};
    }

private:
    Status query(const std::string& name, RegValue& value) {
        if (!opened()) {
            return ERROR_FILE_NOT_FOUND;
        }
        Dword type = REG_SZ;
        Dword size = VALUE_BUFFER_SIZE;
        return held_.borrowed().QueryValue(name, type, value, size);
    }

    ScopedKey held_;
};

std::string trimmedBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string{}
                                      : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string terminalTypeOr(const std::string& recordType) {
    if (!recordType.empty()) {
        return recordType;
    }
    const std::string fallback = ReadKey(layout::SETTINGS_KEY).text(layout::DEFAULT_TTY);
    return fallback.empty() ? UNKNOWN_TERMINAL_TYPE : fallback;
}

Outcome<std::uint16_t> tcpPortOf(const std::string& stored, const std::string& name) {
    const std::string port = trimmedBlanks(stored);
    if (port.empty()) {
        return TELNET_PORT;
    }
    if (port.size() <= 5 && port.find_first_not_of("0123456789") == std::string::npos) {
        const long number = std::strtol(port.c_str(), nullptr, 10);
        if (number >= 1 && number <= 65535) {
            return static_cast<std::uint16_t>(number);
        }
    }
    return Failure{"The host \"" + name + "\" has the port \"" + stored +
                   "\", which is not a TCP port number."};
}

Outcome<HostTarget> telnetRecord(ReadKey& record, const std::string& name) {
    TelnetTarget target;
    target.address = trimmedBlanks(record.text(layout::ADDRESS));
    if (target.address.empty()) {
        return Failure{"The host \"" + name + "\" has no address."};
    }
    auto port = tcpPortOf(record.text(layout::PORT), name);
    if (failed(port)) {
        return Failure{failureOf(port)};
    }
    target.port = std::get<std::uint16_t>(port);
    target.terminalType = terminalTypeOr(record.text(layout::TTY));
    target.traceFile = record.text(layout::TRACE_FILE);
    return target;
}

Outcome<HostTarget> serialRecord(ReadKey& record, const std::string& name) {
    SerialTarget target;
    target.device = record.text(layout::PORT);
    if (target.device.empty()) {
        return Failure{"The host \"" + name + "\" names no serial port."};
    }
    if (target.device.front() != '/') {
        target.device = "/dev/" + target.device;
    }
    auto line = parseLineSettings(record.text(layout::BAUD), record.text(layout::DATA_BITS),
                                  record.text(layout::PARITY), record.text(layout::STOP_BITS),
                                  record.text(layout::FLOW_CONTROL));
    if (failed(line)) {
        return Failure{"The host \"" + name + "\": " + failureOf(line)};
    }
    target.line = std::get<LineSettings>(line);
    target.traceFile = record.text(layout::TRACE_FILE);
    return target;
}

Outcome<HostTarget> storedHost(const std::string& name) {
    ReadKey record(layout::hostKeyPath(name));
    if (!record.opened()) {
        return Failure{"The host \"" + name + "\" is listed, but its record is missing."};
    }
    const std::string transport = record.text(layout::TRANSPORT);
    if (strcasecmp(transport.c_str(), layout::TRANSPORT_TELNET) == 0) {
        return telnetRecord(record, name);
    }
    if (strcasecmp(transport.c_str(), layout::TRANSPORT_SERIAL) == 0) {
        return serialRecord(record, name);
    }
    return Failure{"The host \"" + name + "\" has the transport \"" + transport +
                   "\"; it must be SERIAL or TELNET."};
}

} // namespace

Outcome<HostTarget> resolveHost(const std::string& name) {
    if (name.empty()) {
        return Failure{"No host name was given."};
    }
    if (ReadKey(layout::HOSTLIST_KEY).hasValue(name)) {
        return storedHost(name);
    }
    if (ReadKey(layout::SETTINGS_KEY).text(layout::ENABLE_NR) == layout::ENABLE_NR_YES) {
        return TelnetTarget{name, TELNET_PORT, terminalTypeOr({}), {}};
    }
    return Failure{"The host \"" + name + "\" is not defined."};
}

std::string traceFilePath(const std::string& traceFile) {
    if (traceFile.empty() || traceFile.front() == '/') {
        return traceFile;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? user->pw_dir : "/";
    }
    return std::string(home) + "/" + traceFile;
}

} // namespace zeb::engine
