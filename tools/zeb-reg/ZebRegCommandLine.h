// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// zeb-reg's command line, read once: the words after the program name become one Command
// (ZebRegCommands.h), with every argument decoded into what the store takes, before any verb runs.
// The syntax is described in ZebReg.h.
#pragma once

#include "ZebRegCommands.h"

#include <string>
#include <vector>

namespace zeb::regtool {

// Throws CommandError with the usage reminder for a syntax error: an unknown verb or switch, a
// switch given twice or missing its value, the wrong number of arguments, an argument after a
// switch (KEY and FILE come first, as the platform's reg takes them by their place), more than one
// of /v, /ve, /va, or /t REG_DWORD without /d. Throws it without the reminder for an argument the
// verb cannot take: a key not below HKLM, "HKLM\" (the root is HKLM alone), a name or data with a
// character Windows-1252 lacks, a type other than REG_SZ and REG_DWORD, data that is no REG_DWORD,
// a value added to the root, or the root deleted. The words are checked first, then the arguments
// in the order of the verb's synopsis (KEY, NAME, TYPE, DATA), so the first fault is the one named.
Command parseCommand(const std::vector<std::string>& args);

} // namespace zeb::regtool
