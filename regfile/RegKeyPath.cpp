// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Key paths as a .reg file and zeb-reg's command line spell them, and names shown to a person.
#include "RegFile.h"

#include "ControlCharacters.h"
#include "Cp1252.h"
#include "RegFileText.h"

#include <cstdio>

namespace zeb::regfile {
namespace {

// What is wrong with one of the backslash-separated names of `path`, or "" when none is.
std::string badKeyPart(std::string_view path) {
    if (path.empty()) {
        return {};
    }
    for (;;) {
        const auto end = path.find('\\');
        const auto name = path.substr(0, end);
        if (name.empty()) {
            return "has an empty name between backslashes";
        }
        if (name.size() > reg::MAX_KEY_NAME_LENGTH) {
            return "has a name longer than 255 characters";
        }
        if (end == std::string_view::npos) {
            return {};
        }
        path.remove_prefix(end + 1);
    }
}

} // namespace

Outcome<std::string> keyPathBelowRoot(std::string_view fullPath) {
    const auto separator = fullPath.find('\\');
    const auto root = fullPath.substr(0, separator);
    if (!reg::sameIgnoringAsciiCase(root, ROOT_NAME) &&
        !reg::sameIgnoringAsciiCase(root, ROOT_SHORT_NAME)) {
        return Failure{"the key '" + shownText(fullPath) +
                       "' is not below HKEY_LOCAL_MACHINE (HKLM), the only root the store keeps"};
    }
    auto rest =
        separator == std::string_view::npos ? std::string_view{} : fullPath.substr(separator + 1);
    if (rest.ends_with('\\')) {
        rest.remove_suffix(1);
    }
    if (const auto why = badKeyPart(rest); !why.empty()) {
        return Failure{"the key '" + shownText(fullPath) + "' " + why};
    }
    return std::string(rest);
}

std::string rootedKeyPath(std::string_view path) {
    std::string full(ROOT_NAME);
    if (!path.empty()) {
        full.push_back('\\');
        full += path;
    }
    return full;
}

std::string shownText(std::string_view cp1252) {
    std::string escaped;
    char code[8];
    for (const char c : cp1252) {
        if (isTerminalControl(reg::unicodeOfCp1252(c))) {
            std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned char>(c));
            escaped += code;
        } else {
            escaped.push_back(c);
        }
    }
    return reg::fromCp1252(escaped);
}

std::string shownKeyPath(std::string_view path) {
    return shownText(rootedKeyPath(path));
}

} // namespace zeb::regfile
