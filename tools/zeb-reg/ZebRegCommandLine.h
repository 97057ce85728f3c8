// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// zeb-reg's command line: the words after the program name read into an Invocation (the verb, its
// plain arguments and its switches), and the arguments turned into what the store takes. The
// syntax is described in ZebReg.h; the verbs that act on an Invocation are in ZebRegVerbs.h.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::regtool {

enum class Verb { Query, Add, Delete, Export, Import };

struct Invocation {
    Verb verb = Verb::Query;
    std::vector<std::string> arguments;          // exactly as many as the verb takes
    std::map<std::string, std::string> switches; // lower-case name without '/'; "" for flags

    bool has(const std::string& name) const { return switches.count(name) != 0; }
    const std::string& valueOf(const std::string& name) const { return switches.at(name); }
};

// Throws CommandError (with the usage reminder) for an unknown verb or switch, a switch given
// twice or missing its value, the wrong number of arguments, an argument after a switch (KEY and
// FILE come first, as the platform's reg takes them by their place), or more than one of /v, /ve,
// /va.
Invocation parseInvocation(const std::vector<std::string>& args);

// `text` in the store's Windows-1252; fails naming `what` when a character has no place there.
std::string ansiArgument(const std::string& text, std::string_view what);
// The first argument as a key path below HKEY_LOCAL_MACHINE ("" for the root itself, which is
// HKLM without a backslash: HKLM\ names no key).
std::string keyArgument(const Invocation& invocation);
// The value a command is about: /v NAME, /ve (the default value, ""), or none.
std::optional<std::string> valueArgument(const Invocation& invocation);

} // namespace zeb::regtool
