// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The text of a .reg file as its reader (RegFileReader.cpp) and its writer (RegFileWriter.cpp)
// both see it: the header lines, the byte order marks, the encodings a file comes in (UTF-16LE,
// UTF-8, Windows-1252) and the bytes a line cannot hold. Kept in one place so that what the
// writer produces is what the reader takes. Internal to the library: callers use RegFile.h.
// Nothing here throws; a text that cannot be converted says why in words.
#pragma once

#include "RegistryBackend.h"

#include <string>
#include <string_view>

namespace zeb::regfile {

inline constexpr std::string_view HEADER_REGEDIT4 = "REGEDIT4";
inline constexpr std::string_view HEADER_VERSION5 = "Windows Registry Editor Version 5.00";
inline constexpr std::string_view BOM_UTF16LE = "\xFF\xFE";
inline constexpr std::string_view BOM_UTF8 = "\xEF\xBB\xBF";

// The value types whose data is text (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ): a "Version 5.00" file
// writes their hex data as UTF-16LE.
bool isStringType(reg::Dword type);

// A Windows-1252 byte that is a line control (ControlCharacters.h): what a key line, which has no
// escapes, cannot hold.
bool isLineControlByte(char byte);

// Whether bytes without a byte order mark are taken for UTF-8: valid UTF-8 that holds non-ASCII
// characters (the odds that Windows-1252 text forms valid UTF-8 are slim). A writer whose
// Windows-1252 text would be taken so writes UTF-16LE instead.
bool readsAsUtf8(std::string_view bytes);

// Text converted to Windows-1252 and, when a character could not be, why; `ansi` then holds
// what was converted before it.
struct Conversion {
    std::string ansi;
    std::string error;
};

// UTF-8 to Windows-1252 without loss; a character the code page lacks, or bytes that are not
// UTF-8, end the conversion with a reason.
Conversion exactConversion(std::string_view utf8);

// A file's bytes as Windows-1252 text, after its byte order mark: UTF-16LE or UTF-8 with one,
// UTF-8 when readsAsUtf8, else Windows-1252 as it stands. The error is the first character that
// cannot be stored, or where UTF-16 decoding stopped.
Conversion decodeFile(std::string_view bytes);

// UTF-16LE to UTF-8. Stops with `why` at an odd byte count or an unpaired surrogate, leaving in
// `utf8` what was converted before.
bool appendUtf8FromUtf16(std::string& utf8, std::string_view littleEndian, std::string& why);

// Windows-1252 bytes as UTF-16LE, one unit for each byte.
std::string utf16Bytes(std::string_view cp1252);

} // namespace zeb::regfile
