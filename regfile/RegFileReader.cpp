// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "RegFile.h"

#include "Cp1252.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace zeb::regfile {
namespace {

constexpr std::string_view HEADER_REGEDIT4 = "REGEDIT4";
constexpr std::string_view HEADER_VERSION5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view BOM_UTF16LE = "\xFF\xFE";
constexpr std::string_view BOM_UTF8 = "\xEF\xBB\xBF";
constexpr std::string_view LINE_END = "\r\n";
constexpr std::size_t HEX_LINE_WIDTH = 80; // as the registry editor wraps its hex lines

// --- Text encodings ----------------------------------------------------------------------------

char16_t utf16UnitAt(std::string_view bytes, std::size_t pos) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[pos]) |
                                 (static_cast<unsigned char>(bytes[pos + 1]) << 8));
}

bool isHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// UTF-16LE to UTF-8. Stops with `why` at an odd byte count or an unpaired surrogate, leaving in
// `utf8` what was converted before.
bool appendUtf8FromUtf16(std::string& utf8, std::string_view littleEndian, std::string& why) {
    for (std::size_t pos = 0; pos + 1 < littleEndian.size(); pos += 2) {
        char32_t cp = utf16UnitAt(littleEndian, pos);
        if (isHighSurrogate(cp) && pos + 3 < littleEndian.size() &&
            isLowSurrogate(utf16UnitAt(littleEndian, pos + 2))) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16UnitAt(littleEndian, pos + 2) - 0xDC00);
            pos += 2;
        } else if (isHighSurrogate(cp) || isLowSurrogate(cp)) {
            why = "the UTF-16 text holds an unpaired surrogate";
            return false;
        }
        reg::appendUtf8(utf8, cp);
    }
    if (littleEndian.size() % 2 != 0) {
        why = "the UTF-16 text has an odd number of bytes";
        return false;
    }
    return true;
}

// Text converted to Windows-1252 and, when a character could not be, why; `ansi` then holds
// what was converted before it.
struct Conversion {
    std::string ansi;
    std::string error;
};

Conversion exactConversion(std::string_view utf8) {
    auto strict = reg::toCp1252Strict(utf8);
    if (!strict.failedAt) {
        return {std::move(strict.cp1252), {}};
    }
    return {std::move(strict.cp1252),
            "a character that Windows-1252, the code page of the store, cannot "
            "represent (or bytes that are not UTF-8)"};
}

// What is wrong with one of the backslash-separated names of `path`, or "" when none is.
std::string badKeyPart(std::string_view path) {
    if (path.empty()) {
        return {};
    }
    for (;;) {
        const auto end = path.find('\\');
        const auto name = path.substr(0, end);
        if (name.empty()) {
            return "has an empty name between backslashes";
        }
        if (name.size() > reg::MAX_KEY_NAME_LENGTH) {
            return "has a name longer than 255 characters";
        }
        if (end == std::string_view::npos) {
            return {};
        }
        path.remove_prefix(end + 1);
    }
}

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

// The C0 controls and DEL: what a key line, which has no escapes, cannot hold.
bool isAsciiControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// A byte a terminal may take as a command: the ASCII controls, and the bytes Windows-1252 leaves
// undefined, which stand for C1 controls (0x90 and 0x9D begin device and operating system
// commands).
bool isControlCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return isAsciiControl(c) || byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 ||
           byte == 0x9D;
}

// --- Reading -----------------------------------------------------------------------------------
//
// The reader takes a line as the platform's registry editor does, and where the editor would skip
// a line or a value (and go on with the rest of the file), the line is refused here, since an
// import applies all of a file or none of it.

// A line is refused with this; the parser adds the line number.
struct Malformed {
    std::string message;
};

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

// The number of the line that holds the end of `text`.
std::size_t lineOfEnd(std::string_view text) {
    Lines lines(text);
    while (lines.next()) {
    }
    return std::max<std::size_t>(lines.number(), 1) +
           (text.ends_with('\n') || text.ends_with('\r'));
}

bool isStringType(Dword type) {
    return type == reg::REG_SZ || type == reg::REG_EXPAND_SZ || type == reg::REG_MULTI_SZ;
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

// A byte among the bytes of a line of hex data: blanks, then hexadecimal digits worth at most ff.
char readHexByte(Cursor& bytes) {
    bytes.skipBlanks();
    if (bytes.atEnd() || !isHexDigit(bytes.peek())) {
        throw Malformed{bytes.atEnd() ? std::string("a hex byte is missing after a comma")
                                      : "a hex byte must be hexadecimal digits, not " +
                                            describeByte(bytes.peek())};
    }
    const auto value = readHexDigits(bytes, 0xFF);
    if (!value) {
        throw Malformed{"a hex byte is worth at most ff"};
    }
    return static_cast<char>(*value);
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

    // Reads every line after the header; throws Malformed at the first bad one.
    RegDocument readBody() {
        while (const auto line = lines_.next()) {
            readLine(Cursor(*line));
        }
        return std::move(document_);
    }

    std::size_t lineNumber() const { return lines_.number(); }

private:
    Lines lines_;
    bool utf16Strings_ = false;
    RegDocument document_;

    void readLine(Cursor line) {
        line.skipBlanks();
        if (line.atEnd() || line.peek() == ';' || line.peek() == '#') {
            return;
        }
        if (line.eat('[')) {
            readKeyLine(line);
        } else {
            readValueLine(line);
        }
    }

    // The key's path runs to the last ']' of the line, so that a key name may hold ']' (and
    // anything after that last ']' is passed over, as the editor does). A control character
    // cannot be part of a name that means one key (a NUL would cut the path short).
    void readKeyLine(Cursor line) {
        KeyEdit key;
        key.line = lineNumber();
        key.removeTree = line.eat('-');
        auto body = line.rest();
        if (!body.empty() && isBlank(body.front())) {
            throw Malformed{"the key's path must follow '[' or '[-' without a blank"};
        }
        const auto close = body.rfind(']');
        if (close == std::string_view::npos) {
            throw Malformed{"the key line has no closing ']'"};
        }
        body = body.substr(0, close);
        if (const auto control = std::find_if(body.begin(), body.end(), isAsciiControl);
            control != body.end()) {
            throw Malformed{"the key's path holds a control character (" + describeByte(*control) +
                            ")"};
        }
        auto path = keyPathBelowRoot(body);
        if (failed(path)) {
            throw Malformed{failureOf(path)};
        }
        key.path = std::get<std::string>(std::move(path));
        if (key.removeTree && key.path.empty()) {
            throw Malformed{"the root key HKEY_LOCAL_MACHINE cannot be deleted"};
        }
        document_.keys.push_back(std::move(key));
    }

    void readValueLine(Cursor line) {
        if (document_.keys.empty()) {
            throw Malformed{"a value line must follow a [key] line"};
        }
        if (document_.keys.back().removeTree) {
            throw Malformed{"a value line cannot follow a [-key] line, which deletes the key"};
        }
        ValueEdit value;
        if (!line.eat('@')) {
            if (line.atEnd() || line.peek() != '"') {
                throw Malformed{"a value line must begin with \"name\" or @"};
            }
            value.name = readQuoted(line);
            if (value.name.size() > reg::MAX_VALUE_NAME_LENGTH) {
                throw Malformed{"the value name is longer than 16,383 characters"};
            }
        }
        line.skipBlanks();
        if (!line.eat('=')) {
            throw Malformed{"'=' is missing after the value name"};
        }
        line.skipBlanks();
        readData(line, value);
        document_.keys.back().values.push_back(std::move(value));
    }

    void readData(Cursor& line, ValueEdit& value) {
        if (line.eat('-')) {
            value.remove = true;
        } else if (!line.atEnd() && line.peek() == '"') {
            value.type = reg::REG_SZ;
            value.data = readQuoted(line);
            value.data.push_back('\0');
        } else if (line.eatWord("dword:")) {
            value.type = reg::REG_DWORD;
            value.data = readDword(line);
        } else if (line.eatWord("hex")) {
            value.type = line.eat('(') ? readHexType(line) : reg::REG_BINARY;
            if (!line.eat(':')) {
                throw Malformed{"':' is missing after hex"};
            }
            value.data = readHexData(line.rest());
            convertUtf16Strings(value);
            return;
        } else {
            throw Malformed{
                "the data must be \"text\", dword:, hex:, hex(N): or - (in lower case)"};
        }
        if (!line.atLineEnd()) {
            throw Malformed{"unexpected text after the value's data (a comment starts with ';')"};
        }
    }

    // A quoted text knows the escapes \\, \", \n (line feed) and \r (carriage return). The
    // editor drops the backslash of any other pair with a warning; here it is refused, as it is
    // most likely a lone backslash of a path ("C:\temp" would become "C:temp").
    static std::string readQuoted(Cursor& line) {
        line.eat('"');
        std::string text;
        for (;;) {
            if (line.atEnd()) {
                throw Malformed{"a quoted text has no closing '\"'"};
            }
            char c = line.take();
            if (c == '"') {
                return text;
            }
            if (c == '\0') {
                throw Malformed{"a quoted text holds a NUL character"};
            }
            if (c == '\\' && !line.atEnd()) {
                c = line.take();
                if (c == 'n' || c == 'r') {
                    c = c == 'n' ? '\n' : '\r';
                } else if (c != '\\' && c != '"') {
                    throw Malformed{"unknown escape \\ followed by " + describeByte(c) +
                                    " (known are \\\\, \\\", \\n and \\r)"};
                }
            }
            text.push_back(c);
        }
    }

    // Blanks, then 1 to 8 hexadecimal digits; returns their value's 4 little-endian bytes.
    static std::string readDword(Cursor& line) {
        line.skipBlanks();
        const auto rest = line.rest();
        const auto digits = std::find_if_not(rest.begin(), rest.end(), isHexDigit) - rest.begin();
        const auto value = readHexDigits(line, 0xFFFFFFFF);
        if (!value || digits > 8) {
            throw Malformed{"dword: needs 1 to 8 hexadecimal digits"};
        }
        return dwordBytes(static_cast<Dword>(*value));
    }

    static Dword readHexType(Cursor& line) {
        const auto type = readHexDigits(line, 0xFFFFFFFF);
        if (!type || !line.eat(')')) {
            throw Malformed{"hex( needs a type of hexadecimal digits up to ffffffff and a ')'"};
        }
        return static_cast<Dword>(*type);
    }

    // The bytes after "hex:" or "hex(N):", over as many lines as the backslashes at their ends
    // continue them. Between the lines of a value the editor passes over blank lines and ';'
    // comment lines, but not '#' lines; a continued line must end in a comma (a byte cannot be
    // split between lines, "7\" then "5"), and a continuation line must hold bytes. A backslash
    // on the file's last line ends the data.
    std::string readHexData(std::string_view firstLine) {
        std::string bytes;
        auto line = splitHexLine(firstLine);
        for (bool first = true;; first = false) {
            if (line.bytes.empty() && line.continues && !first) {
                throw Malformed{"a continued hex line holds no bytes"};
            }
            appendHexBytes(bytes, line);
            if (!line.continues) {
                return bytes;
            }
            const auto next = nextContinuationLine();
            if (!next) {
                return bytes;
            }
            line = splitHexLine(*next);
        }
    }

    static void appendHexBytes(std::string& bytes, const HexLine& line) {
        Cursor rest(line.bytes);
        while (!rest.atEnd()) {
            bytes.push_back(readHexByte(rest));
            if (rest.atEnd()) {
                if (line.continues) {
                    throw Malformed{"a hex line continued with a backslash must end in a comma"};
                }
                return;
            }
            if (!rest.eat(',')) {
                throw Malformed{"hex bytes must be separated by commas, not " +
                                describeByte(rest.peek())};
            }
        }
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

    void convertUtf16Strings(ValueEdit& value) const {
        if (!utf16Strings_ || !isStringType(value.type)) {
            return;
        }
        std::string utf8;
        std::string why;
        if (appendUtf8FromUtf16(utf8, value.data, why)) {
            auto conversion = exactConversion(utf8);
            if (conversion.error.empty()) {
                value.data = std::move(conversion.ansi);
                return;
            }
            why = conversion.error;
        }
        throw Malformed{"the hex text data cannot be stored: " + why};
    }
};

// The file's text in Windows-1252, after its byte order mark, and the error that stopped the
// conversion (with `ansi` holding what was converted before it). Without a byte order mark, a
// file that is valid UTF-8 and holds non-ASCII characters was written by a UTF-8 editor (the
// odds that Windows-1252 text forms valid UTF-8 are slim); anything else is Windows-1252.
struct DecodedText {
    std::string ansi;
    std::string error;
};

DecodedText fromUtf8(std::string_view utf8) {
    auto conversion = exactConversion(utf8);
    return {std::move(conversion.ansi), std::move(conversion.error)};
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

DecodedText decodeFile(std::string_view bytes) {
    if (bytes.starts_with(BOM_UTF16LE)) {
        std::string utf8;
        std::string why;
        appendUtf8FromUtf16(utf8, bytes.substr(BOM_UTF16LE.size()), why);
        auto conversion = exactConversion(utf8);
        // A character that cannot be stored comes before the place where UTF-16 decoding stopped.
        return {std::move(conversion.ansi), conversion.error.empty() ? why : conversion.error};
    }
    if (bytes.starts_with(BOM_UTF8)) {
        return fromUtf8(bytes.substr(BOM_UTF8.size()));
    }
    if (!isAscii(bytes) && reg::isValidUtf8(bytes)) {
        return fromUtf8(bytes);
    }
    return {std::string(bytes), {}};
}

// --- Writing -----------------------------------------------------------------------------------

bool holdsLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool holdsControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), isAsciiControl);
}

// REG_SZ data that a quoted string reproduces byte for byte: text without NUL or line breaks,
// then exactly one NUL.
bool isQuotableText(std::string_view data) {
    if (data.empty() || data.back() != '\0') {
        return false;
    }
    data.remove_suffix(1);
    return data.find('\0') == std::string_view::npos && !holdsLineBreak(data);
}

// A quoted text with the reader's escapes: \\ and \" always, \n and \r for the line breaks a
// value's name may hold (text data with line breaks is written as hex instead, which any reader
// takes).
void appendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            out += c == '\n' ? "\\n" : "\\r";
            continue;
        }
        if (c == '\\' || c == '"') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
}

// Windows-1252 bytes as UTF-16LE, one unit for each byte.
std::string utf16Bytes(std::string_view cp1252) {
    std::string bytes;
    bytes.reserve(2 * cp1252.size());
    for (const char c : cp1252) {
        const auto unit = reg::unicodeOfCp1252(c);
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

void appendHexBytes(std::string& out, std::size_t lineStart, std::string_view data) {
    static constexpr char DIGITS[] = "0123456789abcdef";
    for (std::size_t i = 0; i < data.size(); ++i) {
        // "xx," and a closing backslash must still fit within the line.
        if (out.size() - lineStart + 4 > HEX_LINE_WIDTH) {
            out += "\\";
            out += LINE_END;
            lineStart = out.size();
            out += "  ";
        }
        const auto byte = static_cast<unsigned char>(data[i]);
        out.push_back(DIGITS[byte >> 4]);
        out.push_back(DIGITS[byte & 0x0F]);
        if (i + 1 < data.size()) {
            out.push_back(',');
        }
    }
}

// How the text is written: REGEDIT4 in Windows-1252, or, where a reader would take those bytes
// for UTF-8, "Version 5.00" in UTF-16LE, whose hex data of the string types are UTF-16LE too.
enum class Flavour { Regedit4, Version5 };

void appendData(std::string& out, std::size_t lineStart, const ValueEdit& value, Flavour flavour) {
    char prefix[32];
    if (value.remove) {
        out.push_back('-');
    } else if (value.type == reg::REG_SZ && isQuotableText(value.data)) {
        appendQuoted(out, std::string_view(value.data).substr(0, value.data.size() - 1));
    } else if (value.type == reg::REG_DWORD && value.data.size() == 4) {
        std::snprintf(prefix, sizeof prefix, "dword:%08x",
                      static_cast<unsigned>(littleEndianNumber(value.data)));
        out += prefix;
    } else {
        if (value.type == reg::REG_BINARY) {
            out += "hex:";
        } else {
            std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
            out += prefix;
        }
        const bool asUtf16 = flavour == Flavour::Version5 && isStringType(value.type);
        appendHexBytes(out, lineStart, asUtf16 ? utf16Bytes(value.data) : value.data);
    }
}

void appendValue(std::string& out, const ValueEdit& value, Flavour flavour) {
    const auto lineStart = out.size();
    if (value.name.empty()) {
        out.push_back('@');
    } else {
        appendQuoted(out, value.name);
    }
    out.push_back('=');
    appendData(out, lineStart, value, flavour);
    out += LINE_END;
}

void appendKey(std::string& out, const KeyEdit& key, Flavour flavour) {
    out.push_back('[');
    if (key.removeTree) {
        out.push_back('-');
    }
    out += rootedKeyPath(key.path);
    out += "]";
    out += LINE_END;
    for (const auto& value : key.values) {
        appendValue(out, value, flavour);
    }
    out += LINE_END;
}

std::string formattedText(const RegDocument& document, Flavour flavour) {
    std::string text(flavour == Flavour::Version5 ? HEADER_VERSION5 : HEADER_REGEDIT4);
    text += LINE_END;
    text += LINE_END;
    for (const auto& key : document.keys) {
        appendKey(text, key, flavour);
    }
    return text;
}

// Why `document` cannot be written so that reading it back gives the same keys and values, or "".
// A key line has no escapes, so a control character in a key's name (a line break, or a byte the
// reader refuses there) cannot be written; neither can a NUL in a value's name.
std::string unwritableName(const RegDocument& document) {
    for (const auto& key : document.keys) {
        if (holdsControl(key.path)) {
            return "the key '" + shownKeyPath(key.path) +
                   "' has a control character in its name, which a .reg file cannot hold";
        }
        for (const auto& value : key.values) {
            if (value.name.find('\0') != std::string::npos) {
                return "a value of '" + shownKeyPath(key.path) +
                       "' has a NUL in its name, which a .reg file cannot hold";
            }
        }
    }
    return {};
}

} // namespace

std::string dwordBytes(Dword number) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    }
    return bytes;
}

std::uint64_t littleEndianNumber(std::string_view bytes) {
    std::uint64_t number = 0;
    for (auto byte = bytes.rbegin(); byte != bytes.rend(); ++byte) {
        number = (number << 8) | static_cast<unsigned char>(*byte);
    }
    return number;
}

std::optional<std::string> exactCp1252(std::string_view utf8) {
    auto strict = reg::toCp1252Strict(utf8);
    if (strict.failedAt) {
        return std::nullopt;
    }
    return std::move(strict.cp1252);
}

Outcome<std::string> keyPathBelowRoot(std::string_view fullPath) {
    const auto separator = fullPath.find('\\');
    const auto root = fullPath.substr(0, separator);
    if (!reg::sameIgnoringAsciiCase(root, ROOT_NAME) &&
        !reg::sameIgnoringAsciiCase(root, ROOT_SHORT_NAME)) {
        return Failure{"the key '" + shownText(fullPath) +
                       "' is not below HKEY_LOCAL_MACHINE (HKLM), the only root the store keeps"};
    }
    auto rest =
        separator == std::string_view::npos ? std::string_view{} : fullPath.substr(separator + 1);
    if (rest.ends_with('\\')) {
        rest.remove_suffix(1);
    }
    if (const auto why = badKeyPart(rest); !why.empty()) {
        return Failure{"the key '" + shownText(fullPath) + "' " + why};
    }
    return std::string(rest);
}

std::string rootedKeyPath(std::string_view path) {
    std::string full(ROOT_NAME);
    if (!path.empty()) {
        full.push_back('\\');
        full += path;
    }
    return full;
}

std::string shownText(std::string_view cp1252) {
    std::string escaped;
    escaped.reserve(cp1252.size());
    char code[8];
    for (const char c : cp1252) {
        if (isControlCharacter(c)) {
            std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned char>(c));
            escaped += code;
        } else {
            escaped.push_back(c);
        }
    }
    return reg::fromCp1252(escaped);
}

std::string shownKeyPath(std::string_view path) {
    return shownText(rootedKeyPath(path));
}

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
    try {
        return parser.readBody();
    } catch (const Malformed& malformed) {
        return Failure{malformed.message, parser.lineNumber()};
    }
}

Outcome<std::string> formatRegFile(const RegDocument& document) {
    if (auto why = unwritableName(document); !why.empty()) {
        return Failure{std::move(why)};
    }
    auto text = formattedText(document, Flavour::Regedit4);
    if (!isAscii(text) && reg::isValidUtf8(text)) {
        const auto version5 = formattedText(document, Flavour::Version5);
        text = std::string(BOM_UTF16LE) + utf16Bytes(version5);
    }
    return text;
}

} // namespace zeb::regfile
