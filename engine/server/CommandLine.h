// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The command lines the engine reads: Start's, as ZEB builds it, and a terminal program's command
// as a user writes it in the initialization file or in $TERMINAL.
#pragma once

#include "Outcome.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::engine {

// What Start's command line asks for: optionally the initialization-file switch followed by the
// file's path. The new-session switch is accepted and changes nothing, since a new session is the
// only kind this engine has (protocol/EngineProtocol.h names both). Switches compare without regard
// to case; anything else is a failure, so a malformed call is reported rather than half understood.
struct StartOptions {
    std::optional<std::string> initFile;
};
Outcome<StartOptions> parseStartCommandLine(std::string_view text);

} // namespace zeb::engine
