// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The protocol line reader fed in pieces. Input: byte 0 the line limit, byte 1 the piece sizes,
// then the stream. Oracles: the lines match a plain split of the stream (a line over the limit is
// one overlong mark); a request, reply or link message built from a line is one line and reads back
// with the same id, call, status, kind and (UTF-8 clean) text.
#include "EngineProtocol.h"
#include "FuzzCheck.h"
#include "LineBuffer.h"
#include "SessionLink.h"

#include <QJsonArray>
#include <QString>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

using namespace zeb::engine;
using namespace zeb::protocol;

namespace {

// What the reader must give: each ended line, an overlong mark for each (ended or not) too long.
std::vector<LineBuffer::Line> expectedLines(std::string_view stream, size_t limit) {
    std::vector<LineBuffer::Line> lines;
    for (size_t end = 0;; stream.remove_prefix(end + 1)) {
        end = stream.find('\n');
        const auto line = stream.substr(0, end);
        if (line.size() > limit) {
            lines.push_back({{}, true});
        } else if (end != std::string_view::npos) {
            lines.push_back({std::string(line), false});
        }
        if (end == std::string_view::npos) {
            return lines;
        }
    }
}

std::vector<LineBuffer::Line> readInPieces(std::string_view stream, size_t limit, unsigned seed) {
    LineBuffer buffer(limit);
    std::vector<LineBuffer::Line> lines;
    while (!stream.empty()) {
        seed = seed * 1103515245u + 12345u;
        const size_t piece = 1 + (seed >> 16) % 32;
        buffer.append(stream.substr(0, piece));
        stream.remove_prefix(std::min(piece, stream.size()));
        while (buffer.hasLine()) {
            lines.push_back(buffer.takeLine());
        }
    }
    return lines;
}

// `text` without its line end, checked to be exactly one line.
std::string_view oneLine(const std::string& text) {
    ZEB_FUZZ_CHECK(!text.empty() && text.find('\n') == text.size() - 1);
    return std::string_view(text).substr(0, text.size() - 1);
}

void checkRoundTrips(const std::string& line, std::uint8_t kindByte) {
    const Request request = parseRequest(line);
    ZEB_FUZZ_CHECK(!request.malformed.empty() || request.id > 0);

    const std::string clean = QString::fromStdString(line).toStdString();
    const auto replyRead = parseReply(oneLine(formatReply({request.id, status::FAIL, {}, line})));
    ZEB_FUZZ_CHECK(replyRead && replyRead->id == request.id && replyRead->status == status::FAIL &&
                   replyRead->error == clean);

    // ZEB's request with the line as its call and argument, read back by the engine.
    const std::string sent = formatRequest(7, line, QJsonArray{QString::fromStdString(line)});
    ZEB_FUZZ_CHECK(sent.find(TEXT_END) == std::string::npos);
    const Request read = parseRequest(oneLine(sent));
    ZEB_FUZZ_CHECK(read.malformed.empty() && read.id == 7 && read.call == clean);
    ZEB_FUZZ_CHECK(read.args.size() == 1 && std::holds_alternative<std::string>(read.args[0]) &&
                   std::get<std::string>(read.args[0]) == clean);

    const LinkMessage message{static_cast<LinkKind>(kindByte % 4), line};
    const auto decoded = decodeLinkMessage(oneLine(encodeLinkMessage(message)));
    ZEB_FUZZ_CHECK(decoded && decoded->kind == message.kind && decoded->text == clean);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const size_t limit = size > 0 ? data[0] % 64 : 0;
    const unsigned seed = size > 1 ? data[1] : 0;
    const auto stream = std::string_view(reinterpret_cast<const char*>(data), size)
                            .substr(std::min<size_t>(2, size));

    const auto lines = readInPieces(stream, limit, seed);
    const auto expected = expectedLines(stream, limit);
    ZEB_FUZZ_CHECK(lines.size() == expected.size());
    for (size_t i = 0; i < lines.size(); ++i) { // (no expected line is longer than the limit)
        ZEB_FUZZ_CHECK(lines[i].overlong == expected[i].overlong &&
                       lines[i].text == expected[i].text);
        if (!lines[i].overlong) {
            checkRoundTrips(lines[i].text, static_cast<std::uint8_t>(i + seed));
        }
    }
    return 0;
}
