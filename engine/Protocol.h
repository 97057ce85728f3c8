// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The engine's side of the protocol: the messages the engine's protocol side hands to its session
// side over their private socket (the JSON line framing of zeb_protocol, so one reader serves
// both).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zeb::engine {

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
