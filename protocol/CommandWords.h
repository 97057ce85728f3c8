// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The words of a command line: Start's command line, the terminal program's command in the
// initialization file or in $TERMINAL, and the engine command registered for ZEB. Both ends of the
// protocol split with this one function, so ZEB and the engine never read a line differently.
#pragma once

#include "Outcome.h"

#include <string>
#include <string_view>
#include <vector>

namespace zeb::protocol {

// Blanks (spaces and tabs) separate words; double quotes group words and are removed, and "" is an
// empty word of its own. There is no escape character, so a path with backslashes arrives as
// written. The text is bytes (UTF-8 in practice): only the ASCII quote and blanks are special.
//
// An unterminated double quote makes the line unreadable: a failure naming the line, rather than
// a guess at where the quote was meant to end.
Outcome<std::vector<std::string>> splitCommandWords(std::string_view text);

} // namespace zeb::protocol
