// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The engine protocol (engine-protocol.md): ZEB's requests and the engine's replies, one JSON
// object per line. This is the reference implementation that ZEB, orvane-engine and the test
// engine double share: every call name, code and framing rule of the wire is written here once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Only the requests' arguments are Qt's; the header stays free of Qt's own headers, whose keyword
// macros ("signals") would break the engine's system code that includes it.
class QJsonArray;

namespace zeb::protocol {

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

// The calls, by their names on the wire.
namespace call {
inline constexpr const char* QUERY_INTERFACE = "QueryInterface";
inline constexpr const char* START = "Start";
inline constexpr const char* IS_READY = "IsReady";
inline constexpr const char* NEEDS_RUN_STEP = "NeedsRunStep";
inline constexpr const char* RUN_SCRIPT = "RunScript";
inline constexpr const char* SEND_CODE = "SendCode";
inline constexpr const char* SEND_TEXT = "SendText";
inline constexpr const char* RELEASE = "Release";
} // namespace call

// QueryInterface's one interface, and what Release names: that interface or the main reference.
inline constexpr const char* CONTROL_INTERFACE = "EngineControl";
inline constexpr const char* MAIN_REFERENCE = "main";

// SendCode(TEXT_CODE, selector) announces the text that the next SendText sets; the selectors of
// the three texts ZEB sets. SendText's text ends with TEXT_END; what follows it is not shown.
inline constexpr std::int32_t TEXT_CODE = -10;
inline constexpr std::int32_t WINDOW_TITLE_SELECTOR = 2;
inline constexpr std::int32_t ICON_TITLE_SELECTOR = 1;
inline constexpr std::int32_t ABOUT_SELECTOR = 6;
inline constexpr char TEXT_END = '\x7f';
// The about text's fields (the program, its version, the copyright notice) stand between these.
inline constexpr char ABOUT_FIELD_SEPARATOR = '~';

// The programs of RunScript's start-up script, in the engine's command language: a line runs a
// program named after its device and before its account ("DSK0:TELNET.LIT[1,4] payroll"), and
// CONNECT_PROGRAM's argument is the host to connect to.
inline constexpr const char* LOG_PROGRAM = "LOG.LIT";
inline constexpr const char* RUN_PROGRAM = "RUN.LIT";
inline constexpr const char* XY_PROGRAM = "XY.LIT";
inline constexpr const char* CONNECT_PROGRAM = "TELNET.LIT";
inline constexpr const char* HOST_PROGRAM = "HOST.LIT";

// The engine's command lines. ZEB starts the engine's program with EMBEDDING_SWITCH added to its
// command (engine-protocol.md); the engine takes the switch's name after a dash or a slash and in
// any letter case, as automation servers do. Start's command line is NEW_SESSION_SWITCH, followed,
// when ZEB has an initialization file, by INIT_FILE_SWITCH and the file's path in double quotes;
// the engine compares both switches without regard to case.
inline constexpr const char* EMBEDDING_SWITCH = "-Embedding";
inline constexpr const char* NEW_SESSION_SWITCH = "-n";
inline constexpr const char* INIT_FILE_SWITCH = "-i";

// The automation truth values of the yes/no answers (16-bit "result" on the wire).
inline constexpr int YES = -1;
inline constexpr int NO = 0;

// Longest line either end accepts, without its line feed.
inline constexpr std::size_t MAX_LINE_LENGTH = 1024 * 1024;

// One argument of a request: a string, a number, or anything else JSON allows (always wrong here).
struct OtherJson {};
using Argument = std::variant<std::string, double, OtherJson>;

struct Request {
    std::int64_t id = 0; // 0 when the line carries no usable id
    std::string call;
    std::vector<Argument> args;
    std::string malformed; // non-empty: why the line is not a valid request
};

// One request line, ended by a line feed. Character 127 (TEXT_END) travels escaped, so every
// request line is plain printable JSON.
std::string formatRequest(std::int64_t id, std::string_view call, const QJsonArray& args);

Request parseRequest(std::string_view line);

struct Reply {
    std::int64_t id = 0;
    std::int32_t status = status::OK;
    std::optional<int> result; // present for the yes/no calls
    std::string error;         // sent when status is negative
};

// One reply line, ended by a line feed.
std::string formatReply(const Reply& reply);

// The reply of one line (without its line feed): nothing unless it is a JSON object with a whole
// "id" and a 32-bit "status". "result" is kept only when it is a 16-bit whole number, so a yes/no
// answer can be told from one that is missing or out of range.
std::optional<Reply> parseReply(std::string_view line);

} // namespace zeb::protocol
