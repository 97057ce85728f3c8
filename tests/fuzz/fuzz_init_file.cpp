// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The initialization file reader. Oracles: the file with CR LF line ends, with a UTF-8 byte-order
// mark, or followed by another program's section full of would-be errors reads the same, failure
// message included; its terminal command, written back quoted, reads as the same words.
#include "FuzzCheck.h"
#include "InitFile.h"

#include <QByteArray>

#include <string>
#include <string_view>

using namespace zeb;
using namespace zeb::engine;

namespace {

bool sameOutcome(const Outcome<EngineSettings>& a, const Outcome<EngineSettings>& b) {
    if (failed(a) || failed(b)) {
        return failed(a) && failed(b) && failureOf(a) == failureOf(b);
    }
    return std::get<EngineSettings>(a) == std::get<EngineSettings>(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto settings = parseInitText(text);

    const QByteArray crLf = QByteArray(text.data(), qsizetype(size)).replace("\n", "\r\n");
    ZEB_FUZZ_CHECK(sameOutcome(parseInitText(crLf.toStdString()), settings));
    constexpr std::string_view BOM = "\xEF\xBB\xBF";
    ZEB_FUZZ_CHECK(text.starts_with(BOM) ||
                   sameOutcome(parseInitText(std::string(BOM) + std::string(text)), settings));
    const std::string foreign = "\n[Other]\nTerminal=\"unclosed\nRunStep=sometimes\nno value\n";
    ZEB_FUZZ_CHECK(sameOutcome(parseInitText(std::string(text) + foreign), settings));

    if (failed(settings) || std::get<EngineSettings>(settings).terminalCommand.empty()) {
        return 0;
    }
    const auto& command = std::get<EngineSettings>(settings).terminalCommand;
    std::string file = "[Engine]\nTerminal=";
    for (const auto& word : command) {
        ZEB_FUZZ_CHECK(word.find('"') == std::string::npos);
        file += " \"" + word + '"';
    }
    const auto reread = parseInitText(file + "\n");
    ZEB_FUZZ_CHECK(!failed(reread) && std::get<EngineSettings>(reread).terminalCommand == command);
    return 0;
}
