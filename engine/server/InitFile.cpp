// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "InitFile.h"

#include "CommandWords.h"
#include "UniqueFd.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>

namespace zeb::engine {

namespace {

constexpr std::string_view SECTION = "Engine";
constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";
// Far more than any initialization file holds; the bound keeps a wrong path from exhausting memory.
constexpr size_t MAX_FILE_SIZE = 1024 * 1024;

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// An empty view may have no data at all, and strncasecmp must not be given a null pointer even
// for a length of 0 (an empty "RunStep=" compares with "").
bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && (a.empty() || strncasecmp(a.data(), b.data(), a.size()) == 0);
}

Outcome<bool> parseYesNo(std::string_view value) {
    for (const char* yes : {"Y", "Yes", "1", "True"}) {
        if (sameName(value, yes)) {
            return true;
        }
    }
    for (const char* no : {"N", "No", "0", "False", ""}) {
        if (sameName(value, no)) {
            return false;
        }
    }
    return Failure{"RunStep must be Y or N, not \"" + std::string(value) + "\"."};
}

// RFC 1091 takes its names from the assigned list: up to 40 letters, digits, '-' and '/', starting
// with a letter. Letter case does not matter; they travel in upper case.
constexpr size_t MAX_TERMINAL_TYPE_LENGTH = 40;

Outcome<std::vector<std::string>> parseTerminalTypes(std::string_view value) {
    std::vector<std::string> types;
    auto words = protocol::splitCommandWords(value);
    if (failed(words)) {
        return Failure{failureOf(words)};
    }
    for (std::string type : std::get<std::vector<std::string>>(words)) {
        const bool wellFormed = !type.empty() && type.size() <= MAX_TERMINAL_TYPE_LENGTH &&
                                std::isalpha(static_cast<unsigned char>(type.front())) &&
                                std::ranges::all_of(type, [](unsigned char c) {
                                    return std::isalnum(c) || c == '-' || c == '/';
                                });
        if (!wellFormed) {
            return Failure{"TerminalType lists \"" + type +
                           "\", which is not a terminal type name (up to 40 letters, digits, '-' "
                           "and '/', starting with a letter)."};
        }
        std::ranges::transform(type, type.begin(), [](unsigned char c) { return std::toupper(c); });
        types.push_back(std::move(type));
    }
    return types;
}

// Applies one key of the engine's section; keys the engine does not know are left alone.
Outcome<Done> applySetting(std::string_view key, std::string_view value, EngineSettings& settings) {
    if (sameName(key, "Terminal")) {
        auto words = protocol::splitCommandWords(value);
        if (failed(words)) {
            return Failure{failureOf(words)};
        }
        settings.terminalCommand = std::get<std::vector<std::string>>(words);
    } else if (sameName(key, "RunStep")) {
        auto yes = parseYesNo(value);
        if (failed(yes)) {
            return Failure{failureOf(yes)};
        }
        settings.needsRunStep = std::get<bool>(yes);
    } else if (sameName(key, "TerminalType")) {
        auto types = parseTerminalTypes(value);
        if (failed(types)) {
            return Failure{failureOf(types)};
        }
        settings.terminalTypes = std::get<std::vector<std::string>>(types);
    }
    return Done{};
}

Failure unreadable(const std::string& path, const std::string& reason) {
    return Failure{"The initialization file \"" + path + "\" cannot be read: " + reason + "."};
}

} // namespace

Outcome<EngineSettings> parseInitText(std::string_view text) {
    if (text.substr(0, UTF8_BOM.size()) == UTF8_BOM) {
        text.remove_prefix(UTF8_BOM.size());
    }
    EngineSettings settings;
    bool inEngineSection = false;
    int lineNumber = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNumber;
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            inEngineSection =
                line.back() == ']' && sameName(trimmed(line.substr(1, line.size() - 2)), SECTION);
            continue;
        }
        if (!inEngineSection) {
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            return Failure{"Line " + std::to_string(lineNumber) +
                           " of the initialization file's [Engine] section is not of the form "
                           "name=value: " +
                           std::string(line)};
        }
        auto applied = applySetting(trimmed(line.substr(0, equals)),
                                    trimmed(line.substr(equals + 1)), settings);
        if (failed(applied)) {
            return Failure{"Line " + std::to_string(lineNumber) +
                           " of the initialization file: " + failureOf(applied)};
        }
    }
    return settings;
}

Outcome<EngineSettings> readInitFile(const std::string& path) {
    // Not blocking: a FIFO without a writer must not hold the engine (and ZEB's Start) forever.
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (!file.valid() || ::fstat(file.get(), &info) != 0) {
        return unreadable(path, std::strerror(errno));
    }
    // Only a regular file of sensible size: a device such as /dev/zero would never end.
    if (!S_ISREG(info.st_mode) || static_cast<size_t>(info.st_size) > MAX_FILE_SIZE) {
        return unreadable(path,
                          S_ISREG(info.st_mode) ? "it is too large" : "it is not a regular file");
    }
    std::string text;
    char chunk[4096];
    ssize_t got = 0;
    while (text.size() <= MAX_FILE_SIZE && (got = ::read(file.get(), chunk, sizeof chunk)) > 0) {
        text.append(chunk, static_cast<size_t>(got));
    }
    if (got < 0 || text.size() > MAX_FILE_SIZE) {
        return unreadable(path, got < 0 ? std::strerror(errno) : "it is too large");
    }
    auto settings = parseInitText(text);
    if (failed(settings)) {
        return Failure{"In \"" + path + "\": " + failureOf(settings)};
    }
    return settings;
}

} // namespace zeb::engine
