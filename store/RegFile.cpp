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

// --- Reading -----------------------------------------------------------------------------------

// A line is refused with this; the parser adds the line number.
struct Malformed {
    std::string message;
};

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
    bool eatNoCase(std::string_view word) {
        if (!reg::sameIgnoringAsciiCase(rest_.substr(0, word.size()), word)) {
            return false;
        }
        rest_.remove_prefix(word.size());
        return true;
    }
    void skipBlanks() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t')) {
            rest_.remove_prefix(1);
        }
    }
    // Nothing meaningful is left: only blanks and perhaps a comment.
    bool atLineEnd() {
        skipBlanks();
        return atEnd() || peek() == ';';
    }

private:
    std::string_view rest_;
};

// The lines of a decoded text, LF or CR LF ended, counted from 1.
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}

    std::optional<std::string_view> next() {
        if (pos_ >= text_.size()) {
            return std::nullopt;
        }
        auto end = text_.find('\n', pos_);
        if (end == std::string_view::npos) {
            end = text_.size();
        }
        auto line = text_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        pos_ = end + 1;
        ++number_;
        return line;
    }
    std::size_t number() const { return number_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t number_ = 0;
};

bool isStringType(Dword type) {
    return type == reg::REG_SZ || type == reg::REG_EXPAND_SZ || type == reg::REG_MULTI_SZ;
}

class Parser {
public:
    explicit Parser(std::string_view text) : lines_(text) {}

    // Reads the header line; false when the text is not a registry file.
    bool readHeader() {
        const auto first = lines_.next();
        if (!first) {
            return false;
        }
        Cursor header(*first);
        if (header.eatNoCase(HEADER_VERSION5)) {
            utf16Strings_ = true;
        } else if (!header.eatNoCase(HEADER_REGEDIT4)) {
            return false;
        }
        header.skipBlanks();
        return header.atEnd();
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
        if (line.atLineEnd()) {
            return;
        }
        if (line.eat('[')) {
            readKeyLine(line);
        } else {
            readValueLine(line);
        }
    }

    // The ']' that ends a key's path: the first one followed by nothing but blanks or a comment,
    // so that a key name may hold ']' and a comment may follow the line.
    static std::size_t closingBracket(std::string_view body) {
        auto close = body.find(']');
        if (close == std::string_view::npos) {
            throw Malformed{"the key line has no closing ']'"};
        }
        while (!Cursor(body.substr(close + 1)).atLineEnd()) {
            close = body.find(']', close + 1);
            if (close == std::string_view::npos) {
                throw Malformed{"unexpected text after the key's closing ']'"};
            }
        }
        return close;
    }

    void readKeyLine(Cursor line) {
        auto body = line.rest();
        body = body.substr(0, closingBracket(body));
        KeyEdit key;
        key.line = lineNumber();
        if (!body.empty() && body.front() == '-') {
            key.removeTree = true;
            body.remove_prefix(1);
        }
        auto path = keyPathBelowRoot(body);
        if (!path.ok()) {
            throw Malformed{path.error};
        }
        if (key.removeTree && path.path.empty()) {
            throw Malformed{"the root key HKEY_LOCAL_MACHINE cannot be deleted"};
        }
        key.path = std::move(path.path);
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
        if (!line.atLineEnd()) {
            throw Malformed{"unexpected text after the value's data"};
        }
        document_.keys.back().values.push_back(std::move(value));
    }

    void readData(Cursor& line, ValueEdit& value) {
        if (line.eat('-')) {
            value.remove = true;
        } else if (!line.atEnd() && line.peek() == '"') {
            value.type = reg::REG_SZ;
            value.data = readQuoted(line);
            value.data.push_back('\0');
        } else if (line.eatNoCase("dword:")) {
            value.type = reg::REG_DWORD;
            value.data = readDword(line);
        } else if (line.eatNoCase("hex")) {
            value.type = line.eat('(') ? readHexType(line) : reg::REG_BINARY;
            if (!line.eat(':')) {
                throw Malformed{"':' is missing after hex"};
            }
            value.data = readHexBytes(line);
            convertUtf16Strings(value);
        } else {
            throw Malformed{"the data must be \"text\", dword:, hex:, hex(N): or -"};
        }
    }

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
                if (c != '\\' && c != '"') {
                    throw Malformed{"unknown escape \\ followed by " + describeByte(c) +
                                    " (only \\\\ and \\\" are known)"};
                }
            }
            text.push_back(c);
        }
    }

    // 1 to 8 hexadecimal digits; returns their value's 4 little-endian bytes.
    static std::string readDword(Cursor& line) {
        return dwordBytes(readHexNumber(line, "dword: needs 1 to 8 hexadecimal digits"));
    }

    static Dword readHexType(Cursor& line) {
        const auto type = readHexNumber(line, "hex( needs a type of 1 to 8 hexadecimal digits");
        if (!line.eat(')')) {
            throw Malformed{"hex( needs a closing ')' after its type"};
        }
        return type;
    }

    static Dword readHexNumber(Cursor& line, const char* complaint) {
        Dword value = 0;
        int digits = 0;
        while (!line.atEnd() && isHexDigit(line.peek())) {
            if (++digits > 8) {
                throw Malformed{complaint};
            }
            value = (value << 4) | hexDigitValue(line.take());
        }
        if (digits == 0) {
            throw Malformed{complaint};
        }
        return value;
    }

    std::string readHexBytes(Cursor& line) {
        std::string bytes;
        for (;;) {
            if (line.atLineEnd()) {
                return bytes;
            }
            if (line.eat('\\')) {
                line = continuationLine(line);
                continue;
            }
            bytes.push_back(readHexByte(line));
            line.skipBlanks();
            if (!line.eat(',') && !line.atLineEnd() && line.peek() != '\\') {
                throw Malformed{"hex bytes must be separated by commas"};
            }
        }
    }

    static char readHexByte(Cursor& line) {
        unsigned value = 0;
        int digits = 0;
        while (digits < 2 && !line.atEnd() && isHexDigit(line.peek())) {
            value = (value << 4) | hexDigitValue(line.take());
            ++digits;
        }
        if (digits == 0) {
            throw Malformed{"a hex byte must be one or two hexadecimal digits, not " +
                            describeByte(line.peek())};
        }
        return static_cast<char>(value);
    }

    // The next line, which continues hex data after a line ending in a backslash.
    Cursor continuationLine(Cursor& rest) {
        if (!rest.atLineEnd()) {
            throw Malformed{"unexpected text after the line-continuing backslash"};
        }
        const auto next = lines_.next();
        if (!next) {
            throw Malformed{"the hex data continues past the end of the file"};
        }
        return Cursor(*next);
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
// conversion (with `ansi` holding what was converted before it).
struct DecodedText {
    std::string ansi;
    std::string error;
};

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
        auto conversion = exactConversion(bytes.substr(BOM_UTF8.size()));
        return {std::move(conversion.ansi), std::move(conversion.error)};
    }
    return {std::string(bytes), {}};
}

// --- Writing -----------------------------------------------------------------------------------

bool holdsLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
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

void appendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
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

void appendData(std::string& out, std::size_t lineStart, const ValueEdit& value) {
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
        appendHexBytes(out, lineStart, value.data);
    }
}

void appendValue(std::string& out, const ValueEdit& value) {
    const auto lineStart = out.size();
    if (value.name.empty()) {
        out.push_back('@');
    } else {
        appendQuoted(out, value.name);
    }
    out.push_back('=');
    appendData(out, lineStart, value);
    out += LINE_END;
}

void appendKey(std::string& out, const KeyEdit& key) {
    out.push_back('[');
    if (key.removeTree) {
        out.push_back('-');
    }
    out += rootedKeyPath(key.path);
    out += "]";
    out += LINE_END;
    for (const auto& value : key.values) {
        appendValue(out, value);
    }
    out += LINE_END;
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

KeyPath keyPathBelowRoot(std::string_view fullPath) {
    const auto separator = fullPath.find('\\');
    const auto root = fullPath.substr(0, separator);
    if (!reg::sameIgnoringAsciiCase(root, ROOT_NAME) &&
        !reg::sameIgnoringAsciiCase(root, ROOT_SHORT_NAME)) {
        return {{},
                "the key '" + reg::fromCp1252(fullPath) +
                    "' is not below HKEY_LOCAL_MACHINE (HKLM), the only root the store keeps"};
    }
    auto rest =
        separator == std::string_view::npos ? std::string_view{} : fullPath.substr(separator + 1);
    if (rest.ends_with('\\')) {
        rest.remove_suffix(1);
    }
    if (const auto why = badKeyPart(rest); !why.empty()) {
        return {{}, "the key '" + reg::fromCp1252(fullPath) + "' " + why};
    }
    return {std::string(rest), {}};
}

std::string rootedKeyPath(std::string_view path) {
    std::string full(ROOT_NAME);
    if (!path.empty()) {
        full.push_back('\\');
        full += path;
    }
    return full;
}

std::string shownKeyPath(std::string_view path) {
    return reg::fromCp1252(rootedKeyPath(path));
}

std::variant<RegDocument, ParseError> parseRegFile(std::string_view fileBytes) {
    const auto decoded = decodeFile(fileBytes);
    Parser parser(decoded.ansi);
    if (!parser.readHeader()) {
        return ParseError{1, "not a registry file: the first line must be REGEDIT4 or "
                             "Windows Registry Editor Version 5.00"};
    }
    if (!decoded.error.empty()) {
        const auto line = 1 + std::count(decoded.ansi.begin(), decoded.ansi.end(), '\n');
        return ParseError{static_cast<std::size_t>(line), decoded.error};
    }
    try {
        return parser.readBody();
    } catch (const Malformed& malformed) {
        return ParseError{parser.lineNumber(), malformed.message};
    }
}

FormattedFile formatRegFile(const RegDocument& document) {
    FormattedFile file;
    file.text += HEADER_REGEDIT4;
    file.text += LINE_END;
    file.text += LINE_END;
    for (const auto& key : document.keys) {
        if (holdsLineBreak(key.path)) {
            return {{}, "the key '" + shownKeyPath(key.path) + "' has a line break in its name"};
        }
        const auto badValue =
            std::find_if(key.values.begin(), key.values.end(),
                         [](const ValueEdit& v) { return holdsLineBreak(v.name); });
        if (badValue != key.values.end()) {
            return {{}, "a value of '" + shownKeyPath(key.path) + "' has a line break in its name"};
        }
        appendKey(file.text, key);
    }
    return file;
}

} // namespace zeb::regfile
