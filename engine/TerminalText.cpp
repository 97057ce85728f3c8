#include "TerminalText.h"

namespace zeb::engine {

namespace {

constexpr std::string_view kEscape = "\x1b";
constexpr std::string_view kBell = "\x07";
constexpr std::string_view kAboutFieldSeparator = " - ";

bool isUtf8C1(std::string_view text, size_t at) {
    return static_cast<unsigned char>(text[at]) == 0xC2 && at + 1 < text.size() &&
           static_cast<unsigned char>(text[at + 1]) >= 0x80 &&
           static_cast<unsigned char>(text[at + 1]) <= 0x9F;
}

bool isUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
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
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            shown += '?';
        } else if (isUtf8C1(text, i)) {
            shown += '?';
            ++i;
        } else {
            shown += text[i];
        }
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
