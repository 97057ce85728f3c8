// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "Cp1252.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace zeb::reg {

namespace {

// Code points of the bytes 0x80-0x9F; the undefined ones stand for the C1 control of their number.
constexpr std::array<char32_t, 32> HIGH_CONTROLS = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char UNREPRESENTABLE = '?';

char32_t codePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) {
        return HIGH_CONTROLS[byte - 0x80];
    }
    return byte;
}

// The byte that stands for `cp`, or '?' when Windows-1252 has none.
char byteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<char>(cp);
    }
    for (std::size_t i = 0; i < HIGH_CONTROLS.size(); ++i) {
        if (HIGH_CONTROLS[i] == cp) {
            return static_cast<char>(0x80 + i);
        }
    }
    return UNREPRESENTABLE;
}

// Decodes one UTF-8 sequence at `pos` and advances past it. A broken sequence consumes only its
// first byte; either way a malformed one yields U+FFFD, which has no Windows-1252 byte.
char32_t decodeUtf8(std::string_view text, std::size_t& pos) {
    constexpr char32_t INVALID = 0xFFFD;
    const auto lead = static_cast<unsigned char>(text[pos++]);
    if (lead < 0x80) {
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, smallest = 0x10000;
    } else {
        return INVALID;
    }
    if (pos + extra > text.size()) {
        return INVALID;
    }
    for (int i = 0; i < extra; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            return INVALID;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    pos += extra;
    if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return INVALID;
    }
    return cp;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

unsigned char foldByte(unsigned char byte) {
    if ((byte >= 'a' && byte <= 'z') || (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7)) {
        return byte - 0x20;
    }
    switch (byte) {
    case 0x9A:
    case 0x9C:
    case 0x9E:
        return byte - 0x10;
    case 0xFF:
        return 0x9F;
    default:
        return byte;
    }
}

} // namespace

std::string toCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        out += byteOf(decodeUtf8(utf8, pos));
    }
    return out;
}

StrictCp1252 toCp1252Strict(std::string_view utf8) {
    StrictCp1252 result;
    result.cp1252.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t start = pos;
        const char32_t cp = decodeUtf8(utf8, pos);
        const char byte = byteOf(cp);
        if (byte == UNREPRESENTABLE && cp != U'?') {
            result.failedAt = start;
            break;
        }
        result.cp1252 += byte;
    }
    return result;
}

bool isValidUtf8(std::string_view text) {
    constexpr std::string_view REPLACEMENT_CHARACTER = "\xEF\xBF\xBD";
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        // decodeUtf8 answers U+FFFD for a malformed sequence; a real U+FFFD is spelt out.
        if (decodeUtf8(text, pos) == 0xFFFD && text.substr(start, 3) != REPLACEMENT_CHARACTER) {
            return false;
        }
    }
    return true;
}

char16_t unicodeOfCp1252(char byte) {
    return static_cast<char16_t>(codePointOf(static_cast<unsigned char>(byte)));
}

std::string fromCp1252(std::string_view cp1252) {
    // ASCII reads the same in both, and is nearly every name: a list of 100,000 host names
    // takes it whole.
    if (std::all_of(cp1252.begin(), cp1252.end(),
                    [](char byte) { return static_cast<unsigned char>(byte) < 0x80; })) {
        return std::string(cp1252);
    }
    std::string out;
    out.reserve(cp1252.size());
    for (const char byte : cp1252) {
        appendUtf8(out, codePointOf(static_cast<unsigned char>(byte)));
    }
    return out;
}

std::string foldCp1252(std::string_view cp1252) {
    std::string out(cp1252);
    for (char& byte : out) {
        byte = static_cast<char>(foldByte(static_cast<unsigned char>(byte)));
    }
    return out;
}

bool sameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
        return;
    }
    const int continuations = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
    const unsigned leadMarker = (0xF0u << (3 - continuations)) & 0xFFu; // 0xC0, 0xE0 or 0xF0
    out.push_back(static_cast<char>(leadMarker | (cp >> (6 * continuations))));
    for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6) {
        out.push_back(static_cast<char>(0x80 | ((cp >> shift) & 0x3F)));
    }
}

} // namespace zeb::reg
