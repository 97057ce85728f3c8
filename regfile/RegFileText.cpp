// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "RegFileText.h"

#include "ControlCharacters.h"
#include "Cp1252.h"
#include "RegFile.h"

#include <algorithm>

namespace zeb::regfile {
namespace {

char16_t utf16UnitAt(std::string_view bytes, std::size_t pos) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[pos]) |
                                 (static_cast<unsigned char>(bytes[pos + 1]) << 8));
}

bool isHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

bool isStringType(Dword type) {
    return type == reg::REG_SZ || type == reg::REG_EXPAND_SZ || type == reg::REG_MULTI_SZ;
}

bool isLineControlByte(char byte) {
    return isLineControl(reg::unicodeOfCp1252(byte));
}

bool readsAsUtf8(std::string_view bytes) {
    return !isAscii(bytes) && reg::isValidUtf8(bytes);
}

bool appendUtf8FromUtf16(std::string& utf8, std::string_view littleEndian, std::string& why) {
    for (std::size_t pos = 0; pos + 1 < littleEndian.size(); pos += 2) {
        char32_t cp = utf16UnitAt(littleEndian, pos);
        if (isHighSurrogate(cp) && pos + 3 < littleEndian.size() &&
            isLowSurrogate(utf16UnitAt(littleEndian, pos + 2))) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16UnitAt(littleEndian, pos + 2) - 0xDC00);
            pos += 2;
        } else if (isHighSurrogate(cp) || isLowSurrogate(cp)) {
            why = "the UTF-16 text holds an unpaired surrogate";
            return false;
        }
        reg::appendUtf8(utf8, cp);
    }
    if (littleEndian.size() % 2 != 0) {
        why = "the UTF-16 text has an odd number of bytes";
        return false;
    }
    return true;
}

std::string utf16Bytes(std::string_view cp1252) {
    std::string bytes;
    bytes.reserve(2 * cp1252.size());
    for (const char c : cp1252) {
        const auto unit = reg::unicodeOfCp1252(c);
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

Conversion exactConversion(std::string_view utf8) {
    auto strict = reg::toCp1252Strict(utf8);
    if (!strict.failedAt) {
        return {std::move(strict.cp1252), {}};
    }
    return {std::move(strict.cp1252),
            "a character that Windows-1252, the code page of the store, cannot "
            "represent (or bytes that are not UTF-8)"};
}

Conversion decodeFile(std::string_view bytes) {
    if (bytes.starts_with(BOM_UTF16LE)) {
        std::string utf8;
        std::string why;
        appendUtf8FromUtf16(utf8, bytes.substr(BOM_UTF16LE.size()), why);
        auto conversion = exactConversion(utf8);
        // A character that cannot be stored comes before the place where UTF-16 decoding stopped.
        return {std::move(conversion.ansi), conversion.error.empty() ? why : conversion.error};
    }
    if (bytes.starts_with(BOM_UTF8)) {
        return exactConversion(bytes.substr(BOM_UTF8.size()));
    }
    if (readsAsUtf8(bytes)) {
        return exactConversion(bytes);
    }
    return {std::string(bytes), {}};
}

std::optional<std::string> exactCp1252(std::string_view utf8) {
    auto conversion = exactConversion(utf8);
    if (!conversion.error.empty()) {
        return std::nullopt;
    }
    return std::move(conversion.ansi);
}

std::string dwordBytes(Dword number) {
    const char bytes[] = {static_cast<char>(number), static_cast<char>(number >> 8),
                          static_cast<char>(number >> 16), static_cast<char>(number >> 24)};
    return std::string(bytes, sizeof bytes);
}

std::uint64_t littleEndianNumber(std::string_view bytes) {
    std::uint64_t number = 0;
    for (auto byte = bytes.rbegin(); byte != bytes.rend(); ++byte) {
        number = (number << 8) | static_cast<unsigned char>(*byte);
    }
    return number;
}

} // namespace zeb::regfile
