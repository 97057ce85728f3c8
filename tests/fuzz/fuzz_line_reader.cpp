// The engine's protocol line reader: bytes arrive in pieces of any size, are cut into lines with a
// length limit, and each line is read as a request and as a link message.
// Input: byte 0 picks the line limit, byte 1 the piece sizes, the rest is the stream.
// Oracles: the lines match a plain split of the whole stream (a line over the limit is one overlong
// mark, never a longer line); a request, reply or link message built from any line is exactly one
// line and reads back with the same id, call, status, kind and (UTF-8 clean) text.
#include "EngineProtocol.h"
#include "FuzzCheck.h"
#include "LineBuffer.h"
#include "Protocol.h"

#include <QJsonArray>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace zeb::engine;

namespace {

// What the reader must hand out for a stream: every ended line, and one overlong mark for each
// line (ended or not) longer than the limit.
std::vector<LineBuffer::Line> expectedLines(std::string_view stream, size_t limit) {
    std::vector<LineBuffer::Line> lines;
    while (true) {
        const auto end = stream.find('\n');
        const auto line = stream.substr(0, end);
        if (line.size() > limit) {
            lines.push_back({{}, true});
        } else if (end != std::string_view::npos) {
            lines.push_back({std::string(line), false});
        }
        if (end == std::string_view::npos) {
            return lines;
        }
        stream.remove_prefix(end + 1);
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

bool isOneLine(const std::string& text) {
    return !text.empty() && text.find('\n') == text.size() - 1;
}

std::string utf8Clean(const std::string& text) {
    return QString::fromStdString(text).toStdString();
}

void checkRoundTrips(const std::string& line, std::uint8_t kindByte) {
    const Request request = parseRequest(line);
    ZEB_FUZZ_CHECK(!request.malformed.empty() || request.id > 0);

    const std::string reply = formatReply({request.id, status::FAIL, std::nullopt, line});
    ZEB_FUZZ_CHECK(isOneLine(reply));
    const auto replyRead = parseReply(std::string_view(reply).substr(0, reply.size() - 1));
    ZEB_FUZZ_CHECK(replyRead && replyRead->id == request.id && replyRead->status == status::FAIL);
    ZEB_FUZZ_CHECK(replyRead->error == utf8Clean(line));

    // ZEB's request with the line as its call and argument: one printable line that the engine
    // reads back as sent.
    const std::string sent = formatRequest(7, line, QJsonArray{QString::fromStdString(line)});
    ZEB_FUZZ_CHECK(isOneLine(sent) && sent.find(TEXT_END) == std::string::npos);
    const Request read = parseRequest(std::string_view(sent).substr(0, sent.size() - 1));
    ZEB_FUZZ_CHECK(read.malformed.empty() && read.id == 7 && read.call == utf8Clean(line));
    ZEB_FUZZ_CHECK(read.args.size() == 1 && std::holds_alternative<std::string>(read.args[0]));
    ZEB_FUZZ_CHECK(std::get<std::string>(read.args[0]) == utf8Clean(line));

    const LinkMessage message{static_cast<LinkKind>(kindByte % 4), line};
    const std::string encoded = encodeLinkMessage(message);
    ZEB_FUZZ_CHECK(isOneLine(encoded));
    const auto decoded = decodeLinkMessage(std::string_view(encoded).substr(0, encoded.size() - 1));
    ZEB_FUZZ_CHECK(decoded && decoded->kind == message.kind);
    ZEB_FUZZ_CHECK(decoded->text == utf8Clean(line));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const size_t limit = data[0] % 64;
    const unsigned seed = data[1];
    const std::string_view stream(reinterpret_cast<const char*>(data + 2), size - 2);

    const auto lines = readInPieces(stream, limit, seed);
    const auto expected = expectedLines(stream, limit);
    ZEB_FUZZ_CHECK(lines.size() == expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        ZEB_FUZZ_CHECK(lines[i].overlong == expected[i].overlong);
        ZEB_FUZZ_CHECK(lines[i].text == expected[i].text);
        ZEB_FUZZ_CHECK(lines[i].text.size() <= limit);
        if (!lines[i].overlong) {
            checkRoundTrips(lines[i].text, static_cast<std::uint8_t>(i + seed));
        }
    }
    return 0;
}
