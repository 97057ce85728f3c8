// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The engine's side of the protocol: ZEB's requests and the replies (zeb_protocol, whose names the
// engine takes as its own), and the messages the engine's protocol side hands to its session side
// over their private socket (the same JSON line framing, so one reader serves both).
#pragma once

#include "EngineProtocol.h"

#include <optional>
#include <string>
#include <string_view>

namespace zeb::engine {

using namespace zeb::protocol;

// What the protocol side hands to the session side.
// TerminalTypes: the types the initialization file names for the window's program, separated by
// blanks.
enum class LinkKind { WindowTitle, IconTitle, About, Script, TerminalTypes };

struct LinkMessage {
    LinkKind kind;
    std::string text;
};

// One message line, ended by a line feed.
std::string encodeLinkMessage(const LinkMessage& message);

// The message of one line; nothing for a line that is not one (it is skipped by the reader).
std::optional<LinkMessage> decodeLinkMessage(std::string_view line);

} // namespace zeb::engine
