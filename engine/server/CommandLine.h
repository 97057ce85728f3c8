// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Start's command line as ZEB builds it, read by the engine. Its words are split as ZEB and the
// engine split every command line (protocol::splitCommandWords), so the two ends cannot differ.
#pragma once

#include "Outcome.h"

#include <optional>
#include <string>
#include <string_view>

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
