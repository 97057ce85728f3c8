// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "TerminalText.h"

#include "ControlCharacters.h"
#include "EngineProtocol.h"

namespace zeb::engine {

namespace {

constexpr std::string_view ESCAPE = "\x1b";
constexpr std::string_view BELL = "\x07";
constexpr std::string_view ABOUT_FIELD_SEPARATOR = " - ";

bool isUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// One UTF-8 sequence of the text, read the way the most lenient decoder would read it: the length
// its lead byte announces (up to the old six-byte forms) and the code point its bits make, even
// when the form is overlong, a surrogate or past U+10FFFF. A terminal or a program further on may
// decode exactly that way, so E0 80 9B must count as ESC, not as three harmless bytes.
struct Utf8Sequence {
    size_t length = 0; // 0: no complete sequence starts here (a stray or cut-off byte)
    char32_t codePoint = 0;
    bool wellFormed = false; // the shortest form of a Unicode scalar value, of at most 4 bytes
};

Utf8Sequence utf8SequenceAt(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return {1, lead, true};
    }
    const size_t length = lead >= 0xFC   ? (lead <= 0xFD ? 6 : 0)
                          : lead >= 0xF8 ? 5
                          : lead >= 0xF0 ? 4
                          : lead >= 0xE0 ? 3
                          : lead >= 0xC0 ? 2
                                         : 0;
    if (length == 0 || at + length > text.size()) {
        return {};
    }
    char32_t codePoint = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if (!isUtf8Continuation(text[at + i])) {
            return {};
        }
        codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    const size_t shortest = codePoint < 0x80      ? 1
                            : codePoint < 0x800   ? 2
                            : codePoint < 0x10000 ? 3
                                                  : 4;
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return {length, codePoint, length == shortest && !surrogate && codePoint <= 0x10FFFF};
}

std::string osc(char which, std::string_view text) {
    return std::string(ESCAPE) + "]" + which + ";" + printable(text) + std::string(BELL);
}

// The first `columns` characters of a UTF-8 text.
std::string_view leadingCharacters(std::string_view text, int columns) {
    size_t end = 0;
    for (int counted = 0; end < text.size() && counted < columns; ++counted) {
        ++end;
        while (end < text.size() && isUtf8Continuation(text[end])) {
            ++end;
        }
    }
    return text.substr(0, end);
}

} // namespace

std::string printable(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const Utf8Sequence sequence = utf8SequenceAt(text, i);
        if (sequence.length == 0) {
            // A byte that starts nothing: alone, 0x80 to 0x9F is C1 to an 8-bit terminal.
            shown += '?';
            ++i;
            continue;
        }
        // A control in any form, and any other ill-formed sequence, becomes one '?' as a whole.
        const bool shownAsIs = sequence.wellFormed && !isTerminalControl(sequence.codePoint);
        shown += shownAsIs ? text.substr(i, sequence.length) : std::string_view("?");
        i += sequence.length;
    }
    return shown;
}

std::string windowTitleSequence(std::string_view title) {
    return osc('2', title);
}

std::string iconTitleSequence(std::string_view title) {
    return osc('1', title);
}

std::string aboutLineSequence(std::string_view about, int columns) {
    std::string fields;
    for (char c : printable(about)) {
        if (c == protocol::ABOUT_FIELD_SEPARATOR) {
            fields += ABOUT_FIELD_SEPARATOR;
        } else {
            fields += c;
        }
    }
    const std::string_view shown = leadingCharacters(fields, columns > 0 ? columns : 80);
    // Save the cursor, write on line 1, restore the cursor.
    return std::string(ESCAPE) + "7" + std::string(ESCAPE) + "[1;1H" + std::string(ESCAPE) + "[2K" +
           std::string(shown) + std::string(ESCAPE) + "8";
}

std::string openingSequence() {
    return std::string(ESCAPE) + "[H" + std::string(ESCAPE) + "[2J" + std::string(ESCAPE) + "[2;1H";
}

std::string messageLine(std::string_view text) {
    return printable(text) + "\r\n";
}

std::string enterAsCrLf(std::string_view keys) {
    std::string expanded;
    for (char c : keys) {
        expanded += c;
        if (c == '\r') {
            expanded += '\n';
        }
    }
    return expanded;
}

} // namespace zeb::engine
