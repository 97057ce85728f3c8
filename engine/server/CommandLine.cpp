// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "CommandLine.h"

#include "CommandWords.h"
#include "EngineProtocol.h"

#include <strings.h>

namespace zeb::engine {

namespace {

bool sameSwitch(const std::string& word, const char* name) {
    return strcasecmp(word.c_str(), name) == 0;
}

} // namespace

Outcome<StartOptions> parseStartCommandLine(std::string_view text) {
    auto split = protocol::splitCommandWords(text);
    if (failed(split)) {
        return Failure{failureOf(split)};
    }
    const auto& words = std::get<std::vector<std::string>>(split);
    StartOptions options;
    for (size_t i = 0; i < words.size(); ++i) {
        if (sameSwitch(words[i], protocol::NEW_SESSION_SWITCH)) {
            continue; // a new session is the only kind there is
        }
        if (sameSwitch(words[i], protocol::INIT_FILE_SWITCH)) {
            if (i + 1 == words.size() || words[i + 1].empty()) {
                return Failure{std::string("The switch ") + protocol::INIT_FILE_SWITCH +
                               " of the command line needs the initialization file's path."};
            }
            options.initFile = words[++i];
        } else {
            return Failure{"The command line holds \"" + words[i] +
                           "\", which this engine does not understand (it takes " +
                           protocol::NEW_SESSION_SWITCH + " and " + protocol::INIT_FILE_SWITCH +
                           " \"file\")."};
        }
    }
    return options;
}

} // namespace zeb::engine
