// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The .reg reader on any bytes. Oracles: a refusal names a line of the file; an accepted file,
// written out, reads back as the same keys and values, and writing that gives the same text.
#include "FuzzCheck.h"
#include "RegFile.h"

#include <algorithm>
#include <string>
#include <string_view>

using namespace zeb::regfile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto parsed = parseRegFile(bytes);
    if (const auto* error = std::get_if<zeb::Failure>(&parsed)) {
        // Line 1 is the header; no error lies past the last line (a UTF-16 file has two bytes a
        // character, so the byte count bounds the line count either way).
        ZEB_FUZZ_CHECK(error->line >= 1 && error->line <= size + 1 && !error->message.empty());
        return 0;
    }
    const auto& document = std::get<RegDocument>(parsed);
    const auto written = formatRegFile(document);
    ZEB_FUZZ_CHECK(!zeb::failed(written));
    const auto& text = std::get<std::string>(written);
    const auto reread = parseRegFile(text);
    ZEB_FUZZ_CHECK(std::holds_alternative<RegDocument>(reread));
    const auto& keys = std::get<RegDocument>(reread).keys; // compared but for where they stand
    ZEB_FUZZ_CHECK(std::ranges::equal(keys, document.keys, [](const KeyEdit& x, const KeyEdit& y) {
        return x.path == y.path && x.removeTree == y.removeTree && x.values == y.values;
    }));
    const auto rewritten = formatRegFile(std::get<RegDocument>(reread));
    ZEB_FUZZ_CHECK(!zeb::failed(rewritten) && std::get<std::string>(rewritten) == text);
    return 0;
}
