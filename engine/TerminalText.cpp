#include "TerminalText.h"

#include <algorithm>

namespace zeb::engine {

namespace {

constexpr std::string_view kEscape = "\x1b";
constexpr std::string_view kBell = "\x07";
constexpr std::string_view kAboutFieldSeparator = " - ";

bool isUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The length of the UTF-8 sequence that starts at `at`, or 0 when the bytes there are not one. A
// stray byte from 0x80 to 0x9F is a C1 control to a terminal that is not in UTF-8 mode.
size_t utf8SequenceLength(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead < 0x80                    ? 1
                          : lead >= 0xC2 && lead <= 0xDF ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (at + length > text.size()) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if (!isUtf8Continuation(text[at + i])) {
            return 0;
        }
    }
    return length;
}

// C0 controls, DEL, and C1 controls written in UTF-8 (0xC2 0x80 to 0xC2 0x9F).
bool isControl(std::string_view sequence) {
    const auto first = static_cast<unsigned char>(sequence.front());
    return first < 0x20 || first == 0x7F ||
           (first == 0xC2 && static_cast<unsigned char>(sequence[1]) <= 0x9F);
}

std::string osc(char which, std::string_view text) {
    return std::string(kEscape) + "]" + which + ";" + printable(text) + std::string(kBell);
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
        const size_t length = utf8SequenceLength(text, i);
        const std::string_view sequence = text.substr(i, std::max<size_t>(length, 1));
        shown += length == 0 || isControl(sequence) ? std::string_view("?") : sequence;
        i += sequence.size();
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
        if (c == '~') {
            fields += kAboutFieldSeparator;
        } else {
            fields += c;
        }
    }
    const std::string_view shown = leadingCharacters(fields, columns > 0 ? columns : 80);
    // Save the cursor, write on line 1, restore the cursor.
    return std::string(kEscape) + "7" + std::string(kEscape) + "[1;1H" + std::string(kEscape) +
           "[2K" + std::string(shown) + std::string(kEscape) + "8";
}

std::string openingSequence() {
    return std::string(kEscape) + "[H" + std::string(kEscape) + "[2J" + std::string(kEscape) +
           "[2;1H";
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
