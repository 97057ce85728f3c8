// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The link between the engine's two processes: the messages its protocol side hands to its session
// side (the program inside the terminal window) over their private socket. Each message is one
// line in the JSON line framing of zeb_protocol, so one line reader serves ZEB's pipe and the link.
// The session side never writes back: the protocol side takes a readable link for a closed window.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zeb::engine {

// The switch the protocol side starts the program with inside the terminal window, followed by the
// link's socket path: it makes that process the session side.
inline constexpr const char* SESSION_SWITCH = "--session";

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
