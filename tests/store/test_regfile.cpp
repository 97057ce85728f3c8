// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The .reg format alone: lines and encodings read, files refused, bytes written; the code page.
#include "Cp1252.h"
#include "RegFile.h"

#include <gtest/gtest.h>

#include <numeric>
#include <sstream>

using namespace zeb::regfile;
using namespace std::string_literals;
using namespace zeb::reg;
using zeb::failed;
using zeb::Failure;

namespace {

// The document read from `text`, or the refusal, as the test expects.
template <typename T> T parsedAs(std::string_view text) {
    auto result = parseRegFile(text);
    EXPECT_TRUE(std::holds_alternative<T>(result)) << text;
    return std::holds_alternative<T>(result) ? std::get<T>(std::move(result)) : T{};
}
constexpr auto parsed = parsedAs<RegDocument>;

ValueEdit text(std::string name, std::string data) {
    return {std::move(name), false, REG_SZ, std::move(data) + '\0'};
}

ValueEdit binary(std::string name, Dword type, std::string data) {
    return {std::move(name), false, type, std::move(data)};
}

// UTF-16LE bytes with a byte order mark, for text of code points below U+10000.
std::string utf16File(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    }
    return bytes;
}

std::string formatted(const RegDocument& document) {
    const auto file = formatRegFile(document);
    return failed(file) ? "(failed)" : std::get<std::string>(file);
}

} // namespace

// Lines as the platform's registry editor takes them, continuations over blank and ';' lines too.
TEST(RegFile, ReadsEveryKindOfLine) {
    const auto document = parsed(" \tREGEDIT4\r\n"
                                 "  # a comment line\r\n"
                                 "\r\n"
                                 "  [hkey_Local_Machine\\SOFTWARE\\A B]\r\n"
                                 "\"quoted\"=\"back\\\\slash \\\"quote\\\" \\n\\r;#\"\r\n"
                                 "@ = \"default\"   ; a comment after the data\r\n"
                                 "\t\"spaced\" = dword:\t1F;comment\n"
                                 "\"bytes\"=hex: 01, 2,  \\  ; continued below\r\n"
                                 "\r\n"
                                 "  ; a comment inside the data\r\n"
                                 "  0ff,0\r\n"
                                 "\"expand\"=hex(0002):41,00,\r"
                                 "\"gone\"=-  ;\r\n"
                                 "[-hklm\\SOFTWARE\\Old]\r\n"
                                 "[HKLM\\a]b] ; not a comment] what follows is passed over\r\n"
                                 "[HKLM\\SOFTWARE\\Ends\\]\r\n"); // one trailing '\' names the key
    ASSERT_EQ(document.keys.size(), 4u);
    const std::vector<ValueEdit> expected = {
        text("quoted", "back\\slash \"quote\" \n\r;#"),
        text("", "default"),
        binary("spaced", REG_DWORD, std::string("\x1F\0\0\0", 4)),
        binary("bytes", REG_BINARY, std::string("\x01\x02\xFF\x00", 4)),
        binary("expand", REG_EXPAND_SZ, std::string("A\0", 2)), // REGEDIT4 hex data are bytes
        {"gone", true, REG_SZ, ""},
    };
    EXPECT_TRUE(document.keys[0].values == expected && document.keys[1].removeTree);
    EXPECT_EQ(std::tuple(document.keys[0].line, document.keys[2].path, document.keys[3].path),
              std::tuple(4u, "a]b] ; not a comment", "SOFTWARE\\Ends"));
    for (const std::string& file :
         {"\xEF\xBB\xBFREGEDIT4\n[HKLM\\Caf\xC3\xA9]\n\"n\"=\"caf\xC3\xA9 \xE2\x82\xAC\"\n"s,
          "REGEDIT4\n[HKLM\\Caf\xE9]\n\"n\"=\"caf\xE9 \x80\"\n"s}) {
        const auto document = parsed(file);
        ASSERT_EQ(document.keys.size(), 1u);
        EXPECT_EQ(document.keys[0].path, "Caf\xE9");
        EXPECT_EQ(document.keys[0].values, std::vector{text("n", "caf\xE9 \x80")});
    }
}

// Lines the platform's editor would skip (importing in part), and text the store cannot hold.
TEST(RegFile, RefusesAMalformedFileAtTheLineAtFault) {
    const std::string head = "REGEDIT4\n[HKLM\\K]\n\"ok\"=\"1\"\n";
    const std::tuple<std::string, std::size_t, std::string> cases[] = {
        {head + "\"a\"=\"unterminated\n", 4, "no closing '\"'"},
        {head + "\"a\"=\"bad \\t escape\"\n", 4, "unknown escape"},
        {head + "\"a\"=dword:000000001\n", 4, "1 to 8 hexadecimal digits"}, // a small value too
        {head + "\"a\"=DWORD:1\n", 4, "in lower case"},
        {head + "\"a\"=hex:01,100\n", 4, "at most ff"},
        {head + "\"a\"=hex:01 ,02\n", 4, "separated by commas"},
        {head + "\"a\"=hex(7:00\n", 4, "and a ')'"},
        {head + "\"a\"=hex(100000000):00\n", 4, "up to ffffffff"},
        {head + "\"a\"=hex:6c,00,7\\\n5,00\n", 4, "must end in a comma"},
        {head + "\"a\"=hex:01,02,\\#comment\n 03\n", 4, "'\\'"},
        {head + "\"a\"=hex:01,\\\n\n  ;\n\"b\"=hex:0g\n", 7, "hex byte"},
        {head + "\"a\"=hex:01,\\\n#comment\n02\n", 5, "'#'"},
        {head + "\"a\"=hex:01,\\\n  \\\n 02\n", 5, "holds no bytes"},
        {head + "\"a\"=hex:01,02,\n 03\n", 5, "must begin with \"name\" or @"},
        {head + "\"a\"\"1\"\n", 4, "'=' is missing"},
        {head + "\"a\"=\"1\" #comment\n", 4, "unexpected text after the value"},
        {head + "\"a\"=\"nul\0inside\"\n"s, 4, "NUL"},
        {head + "\n\n[HKLM\\K\n", 6, "no closing ']'"},
        {head + "[ HKLM\\K]\n", 4, "without a blank"},
        {head + "[-HKLM\\alpha\0x]\n"s, 4, "control character (byte 0x00)"},
        {head + "[HKLM\\alpha\x7F]\n", 4, "control character (byte 0x7F)"},
        {head + "[HKCU\\Software]\n", 4, "not below HKEY_LOCAL_MACHINE"},
        {head + "[HKLM\\" + std::string(256, 'k') + "]\n", 4, "longer than 255"},
        {head + "[-HKLM]\n", 4, "cannot be deleted"},
        {head + "[-HKLM\\Gone]\n\"a\"=\"1\"\n", 5, "[-key]"},
        {"REGEDIT4\n\"a\"=\"1\"\n", 2, "key"},
        {"regedit4\n", 1, "not a registry file"},
        {"REGEDIT4\n[HKLM\\K]\n\"a\"=\"\xEF\xBF\xBD\"\n", 3, "Windows-1252"}, // U+FFFD
        {"\xEF\xBB\xBFREGEDIT4\n\n\"a\"=\"\xC3\"\n", 3, "not UTF-8"},
        {utf16File(u"REGEDIT4\r\n\r\n[HKLM\\K\xD800]\r\n"), 3, "unpaired surrogate"},
        {utf16File(u"REGEDIT4\r\n") + "x", 2, "odd number of bytes"},
        {"Windows Registry Editor Version 5.00\n[HKLM\\K]\n\"a\"=hex(1):ff,db,ff,df\n", 3,
         "Windows-1252"}, // U+10FFFF, its surrogates at the edge of their ranges
        {"Windows Registry Editor Version 5.00\n[HKLM\\K]\n\"a\"=hex(1):41,00,00,d8\n", 3,
         "stored: the UTF-16 text holds an unpaired surrogate"}, // not "A" alone
        {"Windows Registry Editor Version 5.00\n[HKLM\\K]\n\"a\"=hex(1):41,00,42\n", 3,
         "stored: the UTF-16 text has an odd number of bytes"},
    };
    for (const auto& [file, line, part] : cases) {
        const auto error = parsedAs<Failure>(file);
        EXPECT_EQ(error.line, line) << file;
        EXPECT_NE(error.message.find(part), std::string::npos) << file << error.message;
    }
}

// Text a quoted string would change and a DWORD of the wrong size are written as hex of its type.
TEST(RegFile, WritesRegedit4ByteExact) {
    RegDocument document{{{"SOFTWARE\\Caf\xE9",
                           false,
                           {text("", "d"),
                            text("q\"\\", "a\\b\"c \xE9\x80"),
                            binary("n", REG_DWORD, std::string("\x78\x56\x34\x12", 4)),
                            binary("m", REG_MULTI_SZ, std::string("a\0\0", 3)),
                            binary("x", 0x12345, ""),
                            binary("c\r\n", REG_SZ, std::string("a\rb\0", 4)),
                            binary("inner", REG_SZ, std::string("a\0b\0", 4)),
                            binary("short", REG_DWORD, "\x01\x02"),
                            {"gone", true, REG_SZ, ""}}}}};
    EXPECT_EQ(formatted(document), "REGEDIT4\r\n\r\n"
                                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Caf\xE9]\r\n"
                                   "@=\"d\"\r\n"
                                   "\"q\\\"\\\\\"=\"a\\\\b\\\"c \xE9\x80\"\r\n"
                                   "\"n\"=dword:12345678\r\n"
                                   "\"m\"=hex(7):61,00,00\r\n"
                                   "\"x\"=hex(12345):\r\n"
                                   "\"c\\r\\n\"=hex(1):61,0d,62,00\r\n"
                                   "\"inner\"=hex(1):61,00,62,00\r\n"
                                   "\"short\"=hex(4):01,02\r\n"
                                   "\"gone\"=-\r\n"
                                   "\r\n");
    for (const auto& key : {KeyEdit{"K\x01", false, {}, 0}, KeyEdit{"K\x7F", false, {}, 0},
                            KeyEdit{"K", false, {text("n\0ul"s, "")}, 0}}) {
        EXPECT_EQ(formatted(RegDocument{{key}}), "(failed)");
    }
}

// Windows-1252 text that is valid UTF-8 too is written as UTF-16LE, or it would read back changed.
TEST(RegFile, ReadingWhatWasWrittenGivesBackEveryByte) {
    std::string allBytes(256, '\0');
    std::iota(allBytes.begin(), allBytes.end(), '\0'); // every byte, 0x00 to 0xFF
    std::string everyByte = allBytes.substr(1);
    std::erase_if(everyByte, [](char c) { return c == '\r' || c == '\n'; });
    const RegDocument document{
        {{"SOFTWARE\\" + everyByte.substr(everyByte.find(' '), 0x7F - ' ') +
              everyByte.substr(everyByte.find('\x80')), // a key line: no C0, no DEL (0x7F)
          false,
          {text(everyByte, everyByte), binary("big", 0xFFFFFFFF, allBytes)}}}};
    const RegDocument lookalike{
        {{"Caf\xC3\xA9",
          false,
          {::text("\xC3\xA9", "\xC3\xA9"), binary("m", REG_MULTI_SZ, "\xC3\xA9\0\x81\0\0"s),
           binary("e", REG_EXPAND_SZ, "\xC3\xA9\0"s), binary("b", REG_BINARY, "\xC3\xA9")}}}};
    for (const auto* written : {&document, &lookalike}) {
        const auto text = formatted(*written);
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            if (line.find("=hex") != std::string::npos || line.starts_with("  ")) {
                EXPECT_LE(line.size(), 81u) << line; // 80 characters and the CR
            }
        }
        const auto back = parsed(text);
        ASSERT_EQ(back.keys.size(), 1u);
        EXPECT_EQ(back.keys[0].path, written->keys[0].path);
        EXPECT_EQ(back.keys[0].values, written->keys[0].values);
    }
    // In the UTF-16LE file a string's hex is UTF-16LE too, as the platform reads it; bytes stay.
    EXPECT_NE(formatted(lookalike).find(
                  utf16File(u"\"m\"=hex(7):c3,00,a9,00,00,00,81,00,00,00,00,00\r\n\"e\"=hex(2):c3,"
                            u"00,a9,00,00,00\r\n\"b\"=hex:c3,a9\r\n")
                      .substr(2)),
              std::string::npos);
    // The code page itself: 0x80-0x9F as Windows-1252 has them, the bytes around them as Latin-1;
    // and UTF-8 of every length (a character beyond U+FFFF comes from a UTF-16 file's pair).
    EXPECT_EQ(toCp1252(fromCp1252(allBytes)), allBytes);
    EXPECT_EQ(fromCp1252("\x7F\x80\x9F\xA0"), "\x7F\xE2\x82\xAC\xC5\xB8\xC2\xA0");
    std::string utf8;
    for (const char32_t cp : {U'\x7FF', U'\x800', U'\xFFFF', U'\x10000', U'\x10FFFF'}) {
        appendUtf8(utf8, cp);
    }
    EXPECT_EQ(utf8, "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
    // Surrogates are no characters: U+D7FF and U+E000 pass, U+D800 and U+DFFF do not. A text
    // is judged on its own bytes, not on the one after it.
    EXPECT_EQ((std::vector{isValidUtf8("\xED\x9F\xBF"), isValidUtf8("\xED\xA0\x80"),
                           isValidUtf8("\xED\xBF\xBF"), isValidUtf8("\xEE\x80\x80"),
                           isValidUtf8(std::string_view("\xC3\xA9\x80", 2))}),
              (std::vector{true, false, false, true, true}));
}
