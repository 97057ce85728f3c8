// The wire formats of the engine: ZEB's requests and the engine's replies (one JSON object per
// line, see engine-protocol.md), and the messages the engine's protocol side hands to its session
// side over their private socket (the same framing, so one reader serves both).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zeb::engine {

// Status codes of the replies: 32-bit signed, negative means failure.
namespace status {
inline constexpr std::int32_t OK = 0;
inline constexpr std::int32_t NOT_IMPLEMENTED = static_cast<std::int32_t>(0x80004001u);
inline constexpr std::int32_t NO_INTERFACE = static_cast<std::int32_t>(0x80004002u);
inline constexpr std::int32_t FAIL = static_cast<std::int32_t>(0x80004005u);
inline constexpr std::int32_t UNEXPECTED = static_cast<std::int32_t>(0x8000FFFFu);
inline constexpr std::int32_t FILE_NOT_FOUND = static_cast<std::int32_t>(0x80070002u);
inline constexpr std::int32_t INVALID_ARGUMENT = static_cast<std::int32_t>(0x80070057u);
} // namespace status

// The automation truth values of the yes/no answers.
inline constexpr int YES = -1;
inline constexpr int NO = 0;

// Longest request line the engine accepts; the protocol bounds reply lines the same way.
inline constexpr size_t MAX_LINE_LENGTH = 1024 * 1024;

// One argument of a request: a string, a number, or anything else JSON allows (always wrong here).
struct OtherJson {};
using Argument = std::variant<std::string, double, OtherJson>;

struct Request {
    std::int64_t id = 0; // 0 when the line carries no usable id
    std::string call;
    std::vector<Argument> args;
    std::string malformed; // non-empty: why the line is not a valid request
};

Request parseRequest(std::string_view line);

struct Reply {
    std::int64_t id = 0;
    std::int32_t status = status::OK;
    std::optional<int> result; // present for the yes/no calls
    std::string error;         // sent when status is negative
};

// One reply line, ended by a line feed.
std::string formatReply(const Reply& reply);

// What the protocol side hands to the session side.
// TerminalTypes: the types the initialization file names for the window's program, separated by
// blanks.
enum class LinkKind { WindowTitle, IconTitle, About, Script, TerminalTypes };

struct LinkMessage {
    LinkKind kind;
    std::string text;
};

// One message line, ended by a line feed.
std::string encodeLinkMessage(const LinkMessage& message);

// The message of one line; nothing for a line that is not one (it is skipped by the reader).
std::optional<LinkMessage> decodeLinkMessage(std::string_view line);

} // namespace zeb::engine
