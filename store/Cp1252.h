// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Windows-1252, the code page of the registry substitute: one byte per character, so a name or text
// of n characters is n bytes in the store, as the platform's ANSI functions see it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zeb::reg {

// UTF-8 to Windows-1252. A character the code page cannot represent becomes '?', as the platform's
// ANSI conversion does; so does malformed UTF-8 (each stray byte, or a whole sequence that encodes
// a forbidden code point such as a surrogate).
std::string toCp1252(std::string_view utf8);

// UTF-8 to Windows-1252 without loss, for input that must be stored exactly or refused.
// Conversion stops at the first character the code page cannot represent or the first malformed
// sequence (where toCp1252 would put a '?'): `cp1252` holds what was converted before it and
// `failedAt` its byte offset in the UTF-8 text; `failedAt` is empty when everything converted.
struct StrictCp1252 {
    std::string cp1252;
    std::optional<std::size_t> failedAt;
};
StrictCp1252 toCp1252Strict(std::string_view utf8);

// True when `text` is well-formed UTF-8 (no stray byte, overlong form, surrogate or code point
// above U+10FFFF).
bool isValidUtf8(std::string_view text);

// Windows-1252 to UTF-8. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) map to the C1 controls of the same number, so every byte string survives a round trip.
std::string fromCp1252(std::string_view cp1252);

// The character of one Windows-1252 byte (all of them lie below U+10000), with fromCp1252's
// mapping.
char16_t unicodeOfCp1252(char byte);

// Appends the UTF-8 form (one to four bytes) of the code point `cp`, which must be a Unicode
// scalar value (no surrogate, at most U+10FFFF).
void appendUtf8(std::string& out, char32_t cp);

// The case-folded form under which names compare: ASCII and Windows-1252 letters go to upper case
// (0xE0-0xFE except 0xF7 to 0xC0-0xDE; 0x9A, 0x9C, 0x9E, 0xFF to 0x8A, 0x8C, 0x8E, 0x9F).
std::string foldCp1252(std::string_view cp1252);

// True when `a` and `b` differ at most in the letter case of ASCII letters: how keywords such as
// HKLM, verbs, switches and "yes" compare, where no other byte is a letter.
bool sameIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace zeb::reg
