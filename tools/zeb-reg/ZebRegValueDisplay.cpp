// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "ZebRegValueDisplay.h"

#include "RegFile.h"

#include <cstdio>
#include <map>
#include <ostream>
#include <string_view>

namespace zeb::regtool {

namespace {

constexpr std::string_view INDENT = "    ";
constexpr std::string_view COLUMN_GAP = "    ";

std::string typeName(reg::Dword type) {
    static const std::map<reg::Dword, std::string_view> NAMES = {
        {reg::REG_NONE, "REG_NONE"},
        {reg::REG_SZ, "REG_SZ"},
        {reg::REG_EXPAND_SZ, "REG_EXPAND_SZ"},
        {reg::REG_BINARY, "REG_BINARY"},
        {reg::REG_DWORD, "REG_DWORD"},
        {reg::REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
        {reg::REG_LINK, "REG_LINK"},
        {reg::REG_MULTI_SZ, "REG_MULTI_SZ"},
        {reg::REG_RESOURCE_LIST, "REG_RESOURCE_LIST"},
        {reg::REG_FULL_RESOURCE_DESCRIPTOR, "REG_FULL_RESOURCE_DESCRIPTOR"},
        {reg::REG_RESOURCE_REQUIREMENTS_LIST, "REG_RESOURCE_REQUIREMENTS_LIST"},
        {reg::REG_QWORD, "REG_QWORD"},
    };
    if (const auto found = NAMES.find(type); found != NAMES.end()) {
        return std::string(found->second);
    }
    char unknown[24];
    std::snprintf(unknown, sizeof unknown, "REG_0x%X", static_cast<unsigned>(type));
    return unknown;
}

std::string hexDigits(std::string_view bytes) {
    constexpr std::string_view DIGITS = "0123456789ABCDEF";
    std::string digits;
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        digits += DIGITS[value >> 4];
        digits += DIGITS[value & 0xF];
    }
    return digits;
}

std::string_view beforeNul(std::string_view data) {
    return data.substr(0, data.find('\0'));
}

// The texts of a REG_MULTI_SZ value separated by "\0", as the platform shows them.
std::string multiTextShown(std::string_view data) {
    while (data.ends_with('\0')) {
        data.remove_suffix(1);
    }
    std::string shown;
    for (std::size_t start = 0;;) {
        const auto end = data.find('\0', start);
        shown += regfile::shownText(data.substr(start, end - start));
        if (end == std::string_view::npos) {
            return shown;
        }
        shown += "\\0";
        start = end + 1;
    }
}

std::string dataShown(const reg::StoredValue& value) {
    char number[24];
    switch (value.type) {
    case reg::REG_SZ:
    case reg::REG_EXPAND_SZ:
        return regfile::shownText(beforeNul(value.data));
    case reg::REG_MULTI_SZ:
        return multiTextShown(value.data);
    case reg::REG_DWORD:
    case reg::REG_QWORD:
        if (value.data.size() == (value.type == reg::REG_DWORD ? 4u : 8u)) {
            std::snprintf(number, sizeof number, "0x%llx",
                          static_cast<unsigned long long>(regfile::littleEndianNumber(value.data)));
            return number;
        }
        [[fallthrough]];
    default:
        return hexDigits(value.data);
    }
}

} // namespace

std::string shownValueName(const std::string& name) {
    return name.empty() ? "(Default)" : regfile::shownText(name);
}

void printKey(std::ostream& out, const std::string& path,
              const std::vector<reg::StoredValue>& values) {
    out << regfile::shownKeyPath(path) << '\n';
    for (const auto& value : values) {
        out << INDENT << shownValueName(value.name) << COLUMN_GAP << typeName(value.type)
            << COLUMN_GAP << dataShown(value) << '\n';
    }
    out << '\n';
}

} // namespace zeb::regtool
