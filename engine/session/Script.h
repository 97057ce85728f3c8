// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The start-up script: lines for the engine's command interpreter, separated by CR LF.
//
// A command line is "[device:]PROGRAM.LIT[p,pn] arguments", or an interpreter switch such as ":S"
// or ":R". The engine knows the commands of ZEB's start-up script; TELNET.LIT is the one that does
// something here (it connects to the host named by its argument), the others are accepted as they
// are. Anything else is shown and ignored.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zeb::engine {

// The script's lines; CR LF or a lone LF ends a line, and a final empty line is dropped.
std::vector<std::string> scriptLines(std::string_view script);

enum class CommandKind {
    Switch,  // ":S", ":R": interpreter switches
    Fixed,   // LOG, RUN, XY, HOST: accepted
    Connect, // TELNET: connect to the host named by the argument
    Unknown, // shown and ignored
};

struct ScriptCommand {
    CommandKind kind = CommandKind::Unknown;
    // Everything after the blank that follows the program, verbatim: a host name may hold blanks.
    std::string argument;
};

ScriptCommand parseCommand(std::string_view line);

} // namespace zeb::engine
