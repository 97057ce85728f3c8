// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Reading a .reg file (see RegFile.h for what is taken and what is refused).
#include "RegFile.h"

#include "RegFileText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace zeb::regfile {
namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return unsigned(c - '0');
    }
    return unsigned((c | 0x20) - 'a' + 10);
}

// A byte named in a message: itself when printable ASCII, else its number.
std::string describeByte(char c) {
    if (c > ' ' && c < 0x7F) {
        return std::string("'") + c + "'";
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "byte 0x%02X", static_cast<unsigned char>(c));
    return buffer;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The unread rest of one line.
class Cursor {
public:
    explicit Cursor(std::string_view text) : rest_(text) {}

    bool atEnd() const { return rest_.empty(); }
    char peek() const { return rest_.front(); }
    std::string_view rest() const { return rest_; }
    char take() {
        const char c = rest_.front();
        rest_.remove_prefix(1);
        return c;
    }
    bool eat(char c) {
        if (atEnd() || peek() != c) {
            return false;
        }
        rest_.remove_prefix(1);
        return true;
    }
    // The keywords of a value's data are written in lower case only: the editor skips "DWORD:1".
    bool eatWord(std::string_view word) {
        if (!rest_.starts_with(word)) {
            return false;
        }
        rest_.remove_prefix(word.size());
        return true;
    }
    void skipBlanks() {
        while (!atEnd() && isBlank(peek())) {
            rest_.remove_prefix(1);
        }
    }
    // Nothing meaningful is left: only blanks and perhaps a ';' comment. ('#' starts a comment
    // only at the start of a line: after data the editor skips the whole value.)
    bool atLineEnd() {
        skipBlanks();
        return atEnd() || peek() == ';';
    }

private:
    std::string_view rest_;
};

// The lines of a decoded text, counted from 1. As in the editor, a line ends at LF, CR LF or a CR
// alone.
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}

    std::optional<std::string_view> next() {
        if (pos_ >= text_.size()) {
            return std::nullopt;
        }
        auto end = text_.find_first_of("\r\n", pos_);
        if (end == std::string_view::npos) {
            end = text_.size();
        }
        const auto line = text_.substr(pos_, end - pos_);
        pos_ = end + (text_.substr(end, 2) == "\r\n" ? 2 : 1);
        ++number_;
        return line;
    }
    std::size_t number() const { return number_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t number_ = 0;
};

// The number of the line that holds the end of `text`, which holds at least the header's line.
std::size_t lineOfEnd(std::string_view text) {
    Lines lines(text);
    while (lines.next()) {
    }
    return lines.number() + (text.ends_with('\n') || text.ends_with('\r'));
}

// Hexadecimal digits, as many as are there (leading zeros are allowed), up to `limit`.
std::optional<std::uint64_t> readHexDigits(Cursor& line, std::uint64_t limit) {
    if (line.atEnd() || !isHexDigit(line.peek())) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    while (!line.atEnd() && isHexDigit(line.peek())) {
        value = (value << 4) | hexDigitValue(line.take());
        if (value > limit) {
            return std::nullopt;
        }
    }
    return value;
}

// What one line holds of a value's hex data: the bytes before a ';' comment, and whether a
// backslash at their end continues them on the next line.
struct HexLine {
    std::string_view bytes;
    bool continues = false;
};

HexLine splitHexLine(std::string_view text) {
    HexLine line{text.substr(0, text.find(';'))};
    const auto trimTrailingBlanks = [&line] {
        while (!line.bytes.empty() && isBlank(line.bytes.back())) {
            line.bytes.remove_suffix(1);
        }
    };
    trimTrailingBlanks();
    if (line.bytes.ends_with('\\')) {
        line.continues = true;
        line.bytes.remove_suffix(1);
        trimTrailingBlanks();
    }
    return line;
}

// The reader takes a line as the platform's registry editor does, and where the editor would skip
// a line or a value (and go on with the rest of the file), the line is refused here, since an
// import applies all of a file or none of it. Each read step returns false when it refuses the
// line, having noted why (refuse); its caller passes the false on, and the number of the line
// being read is the refusal's.
class Parser {
public:
    explicit Parser(std::string_view text) : lines_(text) {}

    // Reads the header line; false when the text is not a registry file. The editor allows
    // blanks before the header but nothing after it, and knows it in this letter case only.
    bool readHeader() {
        const auto first = lines_.next();
        if (!first) {
            return false;
        }
        Cursor header(*first);
        header.skipBlanks();
        if (header.rest() == HEADER_VERSION5) {
            utf16Strings_ = true;
            return true;
        }
        return header.rest() == HEADER_REGEDIT4;
    }

    // Reads every line after the header; the first bad one is the failure, with its number.
    Outcome<RegDocument> readBody() {
        while (const auto line = lines_.next()) {
            if (!readLine(Cursor(*line))) {
                return Failure{std::move(refusal_), lines_.number()};
            }
        }
        return std::move(document_);
    }

private:
    Lines lines_;
    bool utf16Strings_ = false;
    RegDocument document_;
    std::string refusal_;

    // Notes why the line is refused, for readBody; false, for the caller to return.
    bool refuse(std::string why) {
        refusal_ = std::move(why);
        return false;
    }

    bool readLine(Cursor line) {
        line.skipBlanks();
        if (line.atEnd() || line.peek() == ';' || line.peek() == '#') {
            return true;
        }
        if (line.eat('[')) {
            return readKeyLine(line);
        }
        return readValueLine(line);
    }

    // The key's path runs to the last ']' of the line, so that a key name may hold ']' (and
    // anything after that last ']' is passed over, as the editor does). A control character
    // cannot be part of a name that means one key (a NUL would cut the path short).
    bool readKeyLine(Cursor line) {
        KeyEdit key;
        key.line = lines_.number();
        key.removeTree = line.eat('-');
        auto body = line.rest();
        if (!body.empty() && isBlank(body.front())) {
            return refuse("the key's path must follow '[' or '[-' without a blank");
        }
        const auto close = body.rfind(']');
        if (close == std::string_view::npos) {
            return refuse("the key line has no closing ']'");
        }
        body = body.substr(0, close);
        if (const auto control = std::find_if(body.begin(), body.end(), isLineControlByte);
            control != body.end()) {
            return refuse("the key's path holds a control character (" + describeByte(*control) +
                          ")");
        }
        auto path = keyPathBelowRoot(body);
        if (failed(path)) {
            return refuse(failureOf(path));
        }
        key.path = std::get<std::string>(std::move(path));
        if (key.removeTree && key.path.empty()) {
            return refuse("the root key HKEY_LOCAL_MACHINE cannot be deleted");
        }
        document_.keys.push_back(std::move(key));
        return true;
    }

    bool readValueLine(Cursor line) {
        if (document_.keys.empty()) {
            return refuse("a value line must follow a [key] line");
        }
        if (document_.keys.back().removeTree) {
            return refuse("a value line cannot follow a [-key] line, which deletes the key");
        }
        ValueEdit value;
        if (!line.eat('@')) {
            if (line.atEnd() || line.peek() != '"') {
                return refuse("a value line must begin with \"name\" or @");
            }
            if (!readQuoted(line, value.name)) {
                return false;
            }
            if (value.name.size() > reg::MAX_VALUE_NAME_LENGTH) {
                return refuse("the value name is longer than 16,383 characters");
            }
        }
        line.skipBlanks();
        if (!line.eat('=')) {
            return refuse("'=' is missing after the value name");
        }
        line.skipBlanks();
        if (!readData(line, value)) {
            return false;
        }
        document_.keys.back().values.push_back(std::move(value));
        return true;
    }

    bool readData(Cursor& line, ValueEdit& value) {
        if (line.eat('-')) {
            value.remove = true;
        } else if (!line.atEnd() && line.peek() == '"') {
            value.type = reg::REG_SZ;
            if (!readQuoted(line, value.data)) {
                return false;
            }
            value.data.push_back('\0');
        } else if (line.eatWord("dword:")) {
            value.type = reg::REG_DWORD;
            if (!readDword(line, value.data)) {
                return false;
            }
        } else if (line.eatWord("hex")) {
            return readHexValue(line, value);
        } else {
            return refuse("the data must be \"text\", dword:, hex:, hex(N): or - (in lower case)");
        }
        if (!line.atLineEnd()) {
            return refuse("unexpected text after the value's data (a comment starts with ';')");
        }
        return true;
    }

    // A quoted text knows the escapes \\, \", \n (line feed) and \r (carriage return). The
    // editor drops the backslash of any other pair with a warning; here it is refused, as it is
    // most likely a lone backslash of a path ("C:\temp" would become "C:temp").
    bool readQuoted(Cursor& line, std::string& text) {
        line.eat('"');
        for (;;) {
            if (line.atEnd()) {
                return refuse("a quoted text has no closing '\"'");
            }
            char c = line.take();
            if (c == '"') {
                return true;
            }
            if (c == '\0') {
                return refuse("a quoted text holds a NUL character");
            }
            if (c == '\\' && !line.atEnd()) {
                c = line.take();
                if (c == 'n' || c == 'r') {
                    c = c == 'n' ? '\n' : '\r';
                } else if (c != '\\' && c != '"') {
                    return refuse("unknown escape \\ followed by " + describeByte(c) +
                                  " (known are \\\\, \\\", \\n and \\r)");
                }
            }
            text.push_back(c);
        }
    }

    // Blanks, then 1 to 8 hexadecimal digits; `bytes` becomes their value's 4 little-endian bytes.
    bool readDword(Cursor& line, std::string& bytes) {
        line.skipBlanks();
        const auto rest = line.rest();
        const auto digits = std::find_if_not(rest.begin(), rest.end(), isHexDigit) - rest.begin();
        const auto value = readHexDigits(line, 0xFFFFFFFF);
        if (!value || digits > 8) {
            return refuse("dword: needs 1 to 8 hexadecimal digits");
        }
        bytes = dwordBytes(static_cast<Dword>(*value));
        return true;
    }

    // What follows "hex": an optional "(N)" type, ':' and the bytes.
    bool readHexValue(Cursor& line, ValueEdit& value) {
        value.type = reg::REG_BINARY;
        if (line.eat('(') && !readHexType(line, value.type)) {
            return false;
        }
        if (!line.eat(':')) {
            return refuse("':' is missing after hex");
        }
        return readHexData(line.rest(), value.data) && convertUtf16Strings(value);
    }

    bool readHexType(Cursor& line, Dword& type) {
        const auto number = readHexDigits(line, 0xFFFFFFFF);
        if (!number || !line.eat(')')) {
            return refuse("hex( needs a type of hexadecimal digits up to ffffffff and a ')'");
        }
        type = static_cast<Dword>(*number);
        return true;
    }

    // The bytes after "hex:" or "hex(N):", over as many lines as the backslashes at their ends
    // continue them. Between the lines of a value the editor passes over blank lines and ';'
    // comment lines, but not '#' lines; a continued line must end in a comma (a byte cannot be
    // split between lines, "7\" then "5"), and a continuation line must hold bytes. A backslash
    // on the file's last line ends the data.
    bool readHexData(std::string_view firstLine, std::string& bytes) {
        auto line = splitHexLine(firstLine);
        for (bool first = true;; first = false) {
            if (line.bytes.empty() && line.continues && !first) {
                return refuse("a continued hex line holds no bytes");
            }
            if (!appendHexBytes(bytes, line)) {
                return false;
            }
            if (!line.continues) {
                return true;
            }
            const auto next = nextContinuationLine();
            if (!next) {
                return true;
            }
            line = splitHexLine(*next);
        }
    }

    bool appendHexBytes(std::string& bytes, const HexLine& line) {
        Cursor rest(line.bytes);
        while (!rest.atEnd()) {
            if (!readHexByte(rest, bytes)) {
                return false;
            }
            if (rest.atEnd() && line.continues) {
                return refuse("a hex line continued with a backslash must end in a comma");
            }
            if (rest.atEnd()) {
                return true;
            }
            if (!rest.eat(',')) {
                return refuse("hex bytes must be separated by commas, not " +
                              describeByte(rest.peek()));
            }
        }
        return true;
    }

    // One byte of a line of hex data, appended to `bytes`: blanks, then hexadecimal digits worth
    // at most ff.
    bool readHexByte(Cursor& line, std::string& bytes) {
        line.skipBlanks();
        if (line.atEnd()) {
            return refuse("a hex byte is missing after a comma");
        }
        if (!isHexDigit(line.peek())) {
            return refuse("a hex byte must be hexadecimal digits, not " +
                          describeByte(line.peek()));
        }
        const auto value = readHexDigits(line, 0xFF);
        if (!value) {
            return refuse("a hex byte is worth at most ff");
        }
        bytes.push_back(static_cast<char>(*value));
        return true;
    }

    // The next line holding more than blanks or a ';' comment, without its leading blanks.
    std::optional<std::string_view> nextContinuationLine() {
        while (const auto next = lines_.next()) {
            Cursor line(*next);
            if (!line.atLineEnd()) {
                return line.rest();
            }
        }
        return std::nullopt;
    }

    bool convertUtf16Strings(ValueEdit& value) {
        if (!utf16Strings_ || !isStringType(value.type)) {
            return true;
        }
        std::string utf8;
        std::string why;
        if (appendUtf8FromUtf16(utf8, value.data, why)) {
            auto conversion = exactConversion(utf8);
            if (conversion.error.empty()) {
                value.data = std::move(conversion.ansi);
                return true;
            }
            why = conversion.error;
        }
        return refuse("the hex text data cannot be stored: " + why);
    }
};
} // namespace

Outcome<RegDocument> parseRegFile(std::string_view fileBytes) {
    const auto decoded = decodeFile(fileBytes);
    Parser parser(decoded.ansi);
    if (!parser.readHeader()) {
        return Failure{"not a registry file: the first line must be REGEDIT4 or "
                       "Windows Registry Editor Version 5.00",
                       1};
    }
    if (!decoded.error.empty()) {
        return Failure{decoded.error, lineOfEnd(decoded.ansi)};
    }
    return parser.readBody();
}

} // namespace zeb::regfile
