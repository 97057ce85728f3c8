// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The command-line splitter and ZEB's "-n -i" engine line. Oracles: only an unterminated quote
// fails, and closing it mends the line; words hold no double quote and, re-joined quoted, split
// alike; a quote-free initialization file path in ZEB's line is what the engine reads.
#include "CommandLine.h"
#include "CommandWords.h"
#include "FuzzCheck.h"
#include "FuzzUtf8.h"
#include "modZEB.h"

#include <string>
#include <string_view>
#include <vector>

using namespace zeb::engine;
using zeb::failed;
using zeb::protocol::splitCommandWords;

using Words = std::vector<std::string>;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto split = splitCommandWords(text);
    if (failed(split)) {
        ZEB_FUZZ_CHECK(!failed(splitCommandWords(std::string(text) + '"')));
    } else {
        const auto& words = std::get<Words>(split);
        std::string rejoined;
        for (size_t i = 0; i < words.size(); ++i) {
            ZEB_FUZZ_CHECK(words[i].find('"') == std::string::npos);
            rejoined += (i % 2 == 0 ? " \"" : "\t\"") + words[i] + '"';
        }
        const auto resplit = splitCommandWords(rejoined);
        ZEB_FUZZ_CHECK(!failed(resplit) && std::get<Words>(resplit) == words);
    }
    const auto options = parseStartCommandLine(text);
    // (An optional compares unequal to a value when it holds none.)
    ZEB_FUZZ_CHECK(failed(options) || std::get<StartOptions>(options).initFile != std::string());
    // ZEB cannot quote a double quote (the engine's command line has no escape character).
    const auto path = strictUtf8(text);
    if (text.empty() || text.find('"') != std::string_view::npos || !path) {
        return 0;
    }
    const auto fromZeb = parseStartCommandLine(zeb::engineCommandLine(true, *path).toStdString());
    ZEB_FUZZ_CHECK(!failed(fromZeb) && std::get<StartOptions>(fromZeb).initFile == text);
    return 0;
}
