// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "Script.h"

#include "EngineProtocol.h"

#include <array>
#include <strings.h>

namespace zeb::engine {

namespace {

constexpr std::array FIXED_PROGRAMS{protocol::LOG_PROGRAM, protocol::RUN_PROGRAM,
                                    protocol::XY_PROGRAM, protocol::HOST_PROGRAM};

// "DSK0:TELNET.LIT[1,4]" -> "TELNET.LIT": the device before the colon and the account in brackets
// do not change which program runs.
std::string programOf(std::string_view word) {
    if (const auto colon = word.find(':'); colon != std::string_view::npos) {
        word.remove_prefix(colon + 1);
    }
    return std::string(word.substr(0, word.find('[')));
}

bool isSwitch(std::string_view line) {
    return line.size() >= 2 && line.front() == ':' && line.find(' ') == std::string_view::npos;
}

} // namespace

std::vector<std::string> scriptLines(std::string_view script) {
    std::vector<std::string> lines;
    while (!script.empty()) {
        const auto end = script.find('\n');
        auto line = script.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        script = end == std::string_view::npos ? std::string_view{} : script.substr(end + 1);
    }
    return lines;
}

ScriptCommand parseCommand(std::string_view line) {
    if (isSwitch(line)) {
        return {CommandKind::Switch, {}};
    }
    const auto blank = line.find(' ');
    const std::string program = programOf(line.substr(0, blank));
    ScriptCommand command;
    command.argument = blank == std::string_view::npos ? "" : std::string(line.substr(blank + 1));
    if (strcasecmp(program.c_str(), protocol::CONNECT_PROGRAM) == 0) {
        command.kind = CommandKind::Connect;
    }
    for (const char* fixed : FIXED_PROGRAMS) {
        if (strcasecmp(program.c_str(), fixed) == 0) {
            command.kind = CommandKind::Fixed;
        }
    }
    return command;
}

} // namespace zeb::engine
