// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// What the session side writes to its terminal besides the host's own characters: the escape
// sequences that set the window and icon titles, the about text on the first line, and the
// engine's messages. Texts from outside (ZEB, the store, the script) pass through printable()
// first, so that no control character in them can end a sequence early or start one of its own.
#pragma once

#include <string>
#include <string_view>

namespace zeb::engine {

// The text with every control character (C0, DEL, C1) and everything that is not well-formed UTF-8
// replaced by '?': a control or ill-formed sequence as a whole (so the overlong E0 80 9B, which a
// lenient decoder reads as ESC, goes like a plain ESC), and a byte that starts no sequence on its
// own (a stray 0x9B is CSI to an 8-bit terminal). What is left is well-formed UTF-8 without
// controls.
std::string printable(std::string_view text);

// OSC 2 and OSC 1 (xterm and its kin show both; others show what they know).
std::string windowTitleSequence(std::string_view title);
std::string iconTitleSequence(std::string_view title);

// The about text ("ZEB~Version 1.0~notice") shown with its fields apart, at most `columns`
// characters wide, written on the first line of the screen without moving the cursor.
std::string aboutLineSequence(std::string_view about, int columns);

// Clears the screen and leaves the first line free for the about text.
std::string openingSequence();

// One line of the engine's own messages (the terminal is in raw mode, so the line ends in CR LF).
std::string messageLine(std::string_view text);

// The keys as typed, with a line feed after each Enter (CR): what a Telnet host expects, and what
// a raw terminal must be given to show typed lines one below the other.
std::string enterAsCrLf(std::string_view keys);

} // namespace zeb::engine
