// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The filter for texts the engine writes to its terminal. Input: byte 0 the about line's width,
// then the text. Oracles (read with Qt's strict decoder, not the filter's): the filtered text is
// well-formed UTF-8 without a C0, DEL or C1 code; a clean text is left as it is; the sequences
// built around it hold no control but their own; the about line is no wider than asked.
#include "FuzzCheck.h"
#include "FuzzUtf8.h"
#include "TerminalText.h"

#include <QList>

#include <algorithm>
#include <string>
#include <string_view>

using namespace zeb::engine;

namespace {

constexpr std::string_view CLEAR_LINE = "\x1b[2K";
const std::string RESTORE_CURSOR = std::string("\x1b") + "8"; // ESC 8 ("\x1b8" is one escape)

bool isCleanUtf8(std::string_view text) { // well-formed UTF-8 whose characters include no control
    const auto decoded = strictUtf8(text);
    return decoded && std::none_of(decoded->begin(), decoded->end(),
                                   [](QChar c) { return c.category() == QChar::Other_Control; });
}

// Ensures `sequence` is `prefix` + clean text + `suffix`.
void checkFramed(std::string_view sequence, std::string_view prefix, std::string_view suffix) {
    ZEB_FUZZ_CHECK(sequence.size() >= prefix.size() + suffix.size() &&
                   sequence.starts_with(prefix) && sequence.ends_with(suffix));
    ZEB_FUZZ_CHECK(isCleanUtf8(
        sequence.substr(prefix.size(), sequence.size() - prefix.size() - suffix.size())));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int columns = size > 0 ? data[0] : 0;
    const auto text = std::string_view(reinterpret_cast<const char*>(data), size)
                          .substr(std::min<size_t>(1, size));

    const std::string shown = printable(text);
    ZEB_FUZZ_CHECK(isCleanUtf8(shown) && shown.size() <= text.size());
    ZEB_FUZZ_CHECK(printable(shown) == shown && (!isCleanUtf8(text) || shown == text));

    checkFramed(windowTitleSequence(text), "\x1b]2;", "\x07");
    checkFramed(iconTitleSequence(text), "\x1b]1;", "\x07");
    checkFramed(messageLine(text), "", "\r\n");

    // Save the cursor, go to line 1, clear it, the text, restore the cursor.
    const std::string about = aboutLineSequence(text, columns);
    const size_t start = about.find(CLEAR_LINE);
    ZEB_FUZZ_CHECK(std::ranges::count(about, '\x1b') == 4 && start != std::string::npos);
    const std::string_view line = std::string_view(about).substr(start);
    checkFramed(line, CLEAR_LINE, RESTORE_CURSOR);
    const size_t shownSize = line.size() - CLEAR_LINE.size() - RESTORE_CURSOR.size();
    const auto shownText = strictUtf8(line.substr(CLEAR_LINE.size(), shownSize)); // clean: checked
    ZEB_FUZZ_CHECK(shownText->toUcs4().size() <= (columns > 0 ? columns : 80));
    return 0;
}
