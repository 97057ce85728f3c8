// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// What ZEB calls a control character, for each of the two purposes it has one for. Every check of a
// text against control characters uses one of these, by code point (a Windows-1252 byte through
// reg::unicodeOfCp1252), so a purpose cannot take two meanings in two places.
#pragma once

namespace zeb {

// Breaks a line of text that has no escapes: the C0 controls and DEL. A host name (which becomes a
// line of the engine's start-up script and its window titles) and a .reg key line refuse these.
constexpr bool isLineControl(char32_t codePoint) {
    return codePoint < 0x20 || codePoint == 0x7F;
}

// Taken by a terminal as a command: the line controls and the C1 controls (0x80-0x9F; 0x90 and 0x9D
// begin device and operating system commands). Text a person reads on a terminal shows these
// escaped, never as they are. Windows-1252 bytes reach the C1 range only through the five bytes the
// code page leaves undefined.
constexpr bool isTerminalControl(char32_t codePoint) {
    return isLineControl(codePoint) || (codePoint >= 0x80 && codePoint <= 0x9F);
}

} // namespace zeb
