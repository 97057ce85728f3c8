// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Writing a .reg file: REGEDIT4 text, or "Version 5.00" UTF-16LE where a reader would take the
// REGEDIT4 bytes for UTF-8 (see RegFile.h).
#include "RegFile.h"

#include "RegFileText.h"

#include <algorithm>
#include <cstdio>

namespace zeb::regfile {
namespace {

constexpr std::string_view LINE_END = "\r\n";
constexpr std::size_t HEX_LINE_WIDTH = 80; // as the registry editor wraps its hex lines

bool holdsLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool holdsControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), isLineControlByte);
}

// REG_SZ data that a quoted string reproduces byte for byte: text without NUL or line breaks,
// then exactly one NUL.
bool isQuotableText(std::string_view data) {
    if (data.empty() || data.back() != '\0') {
        return false;
    }
    data.remove_suffix(1);
    return data.find('\0') == std::string_view::npos && !holdsLineBreak(data);
}

// A quoted text with the reader's escapes: \\ and \" always, \n and \r for the line breaks a
// value's name may hold (text data with line breaks is written as hex instead, which any reader
// takes).
void appendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            out += c == '\n' ? "\\n" : "\\r";
            continue;
        }
        if (c == '\\' || c == '"') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
}

void appendHexBytes(std::string& out, std::size_t lineStart, std::string_view data) {
    static constexpr char DIGITS[] = "0123456789abcdef";
    for (std::size_t i = 0; i < data.size(); ++i) {
        // "xx," and a closing backslash must still fit within the line.
        if (out.size() - lineStart + 4 > HEX_LINE_WIDTH) {
            out += "\\";
            out += LINE_END;
            lineStart = out.size();
            out += "  ";
        }
        const auto byte = static_cast<unsigned char>(data[i]);
        out.push_back(DIGITS[byte >> 4]);
        out.push_back(DIGITS[byte & 0x0F]);
        if (i + 1 < data.size()) {
            out.push_back(',');
        }
    }
}

// How the text is written: REGEDIT4 in Windows-1252, or, where a reader would take those bytes
// for UTF-8, "Version 5.00" in UTF-16LE, whose hex data of the string types are UTF-16LE too.
enum class Flavour { Regedit4, Version5 };

void appendData(std::string& out, std::size_t lineStart, const ValueEdit& value, Flavour flavour) {
    char prefix[32];
    if (value.remove) {
        out.push_back('-');
    } else if (value.type == reg::REG_SZ && isQuotableText(value.data)) {
        appendQuoted(out, std::string_view(value.data).substr(0, value.data.size() - 1));
    } else if (value.type == reg::REG_DWORD && value.data.size() == 4) {
        std::snprintf(prefix, sizeof prefix, "dword:%08x",
                      static_cast<unsigned>(littleEndianNumber(value.data)));
        out += prefix;
    } else {
        if (value.type == reg::REG_BINARY) {
            out += "hex:";
        } else {
            std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
            out += prefix;
        }
        const bool asUtf16 = flavour == Flavour::Version5 && isStringType(value.type);
        appendHexBytes(out, lineStart, asUtf16 ? utf16Bytes(value.data) : value.data);
    }
}

void appendValue(std::string& out, const ValueEdit& value, Flavour flavour) {
    const auto lineStart = out.size();
    if (value.name.empty()) {
        out.push_back('@');
    } else {
        appendQuoted(out, value.name);
    }
    out.push_back('=');
    appendData(out, lineStart, value, flavour);
    out += LINE_END;
}

void appendKey(std::string& out, const KeyEdit& key, Flavour flavour) {
    out.push_back('[');
    if (key.removeTree) {
        out.push_back('-');
    }
    out += rootedKeyPath(key.path);
    out += "]";
    out += LINE_END;
    for (const auto& value : key.values) {
        appendValue(out, value, flavour);
    }
    out += LINE_END;
}

std::string formattedText(const RegDocument& document, Flavour flavour) {
    std::string text(flavour == Flavour::Version5 ? HEADER_VERSION5 : HEADER_REGEDIT4);
    text += LINE_END;
    text += LINE_END;
    for (const auto& key : document.keys) {
        appendKey(text, key, flavour);
    }
    return text;
}

// Why `document` cannot be written so that reading it back gives the same keys and values, or "".
// A key line has no escapes, so a control character in a key's name (a line break, or a byte the
// reader refuses there) cannot be written; neither can a NUL in a value's name.
std::string unwritableName(const RegDocument& document) {
    for (const auto& key : document.keys) {
        if (holdsControl(key.path)) {
            return "the key '" + shownKeyPath(key.path) +
                   "' has a control character in its name, which a .reg file cannot hold";
        }
        for (const auto& value : key.values) {
            if (value.name.find('\0') != std::string::npos) {
                return "a value of '" + shownKeyPath(key.path) +
                       "' has a NUL in its name, which a .reg file cannot hold";
            }
        }
    }
    return {};
}

} // namespace

Outcome<std::string> formatRegFile(const RegDocument& document) {
    if (auto why = unwritableName(document); !why.empty()) {
        return Failure{std::move(why)};
    }
    auto text = formattedText(document, Flavour::Regedit4);
    if (readsAsUtf8(text)) {
        const auto version5 = formattedText(document, Flavour::Version5);
        text = std::string(BOM_UTF16LE) + utf16Bytes(version5);
    }
    return text;
}

} // namespace zeb::regfile
