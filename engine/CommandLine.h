// The words of a command line, as ZEB builds them for Start and as a user writes a terminal
// program's command in the initialization file or in $TERMINAL.
#pragma once

#include "Outcome.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::engine {

// Blanks separate words; double quotes group words and are removed. There is no escape character,
// so a path with backslashes arrives as written. An unterminated quote is a failure.
Outcome<std::vector<std::string>> splitCommandWords(std::string_view text);

// What Start's command line asks for: optionally "-i" followed by the initialization file's path.
// "-n" (a new session) is accepted and changes nothing, since a new session is the only kind this
// engine has. Switches compare without regard to case; anything else is a failure, so a malformed
// call is reported rather than half understood.
struct StartOptions {
    std::optional<std::string> initFile;
};
Outcome<StartOptions> parseStartCommandLine(std::string_view text);

} // namespace zeb::engine
