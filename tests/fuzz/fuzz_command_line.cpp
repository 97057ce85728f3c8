// The protocol's command-line splitter (Start's command line, the terminal program's command, the
// registered engine command), and the "-n -i" line that ZEB builds for the engine.
// Oracles: only an unterminated quote fails, and closing it mends the line; words never hold a
// double quote, and re-joined with quotes they split into the same words; an initialization file
// path without a double quote, put in ZEB's command line, is the path the engine reads from it.
#include "CommandLine.h"
#include "CommandWords.h"
#include "FuzzCheck.h"
#include "FuzzUtf8.h"
#include "modZEB.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using zeb::failed;
using zeb::engine::parseStartCommandLine;
using zeb::engine::StartOptions;
using zeb::protocol::splitCommandWords;

namespace {

using Words = std::vector<std::string>;

Words quotedRejoinedAndSplit(const Words& words) {
    std::string line;
    for (size_t i = 0; i < words.size(); ++i) {
        line += (i % 2 == 0 ? " \"" : "\t\"") + words[i] + '"';
    }
    const auto split = splitCommandWords(line);
    ZEB_FUZZ_CHECK(!failed(split));
    return failed(split) ? Words{} : std::get<Words>(split);
}

void checkSplit(std::string_view text) {
    const auto split = splitCommandWords(text);
    if (failed(split)) {
        ZEB_FUZZ_CHECK(!failed(splitCommandWords(std::string(text) + '"')));
        return;
    }
    const auto& words = std::get<Words>(split);
    for (const auto& word : words) {
        ZEB_FUZZ_CHECK(word.find('"') == std::string::npos);
    }
    ZEB_FUZZ_CHECK(quotedRejoinedAndSplit(words) == words);
}

void checkStartLine(std::string_view text) {
    const auto options = parseStartCommandLine(text);
    if (!failed(options) && std::get<StartOptions>(options).initFile) {
        ZEB_FUZZ_CHECK(!std::get<StartOptions>(options).initFile->empty());
    }
    // ZEB cannot quote a double quote (the engine's command line has no escape character).
    const auto path = strictUtf8(text);
    if (text.empty() || text.find('"') != std::string_view::npos || !path) {
        return;
    }
    const auto fromZeb = parseStartCommandLine(zeb::engineCommandLine(true, *path).toStdString());
    ZEB_FUZZ_CHECK(!failed(fromZeb));
    ZEB_FUZZ_CHECK(std::get<StartOptions>(fromZeb).initFile == std::string(text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkSplit(text);
    checkStartLine(text);
    return 0;
}
