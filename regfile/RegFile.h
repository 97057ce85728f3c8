// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// .reg files: the text format in which zeb-reg moves parts of the store between machines.
//
// Pure functions of bytes in and bytes out; nothing here touches a store, so the format can be
// tested on its own. All names and text data are Windows-1252 bytes, the store's code page. Nothing
// throws: a refusal is a Failure. The reader is RegFileReader.cpp, the writer RegFileWriter.cpp,
// key paths and shown text RegKeyPath.cpp; what reader and writer share of the file's text (header
// lines, encodings) is RegFileText.h.
//
// Reading takes each line as the platform's registry editor does, except that a line the editor
// would skip (going on with the rest of the file) is refused here, with its number, so that a file
// is accepted whole or not at all:
//   - a first line "REGEDIT4" or "Windows Registry Editor Version 5.00", exactly so but for blanks
//     before it; blanks before any line; ';' and '#' comment lines and blank lines are ignored;
//   - UTF-16LE with a byte order mark, UTF-8 with a byte order mark, UTF-8 without one when the
//     file is valid UTF-8 and holds non-ASCII characters, or else Windows-1252 bytes; the text is
//     converted to Windows-1252, and a character that code page lacks is an error (the store
//     would keep only a '?', which would silently change the name or data);
//   - a line ends at LF, CR LF or a CR alone;
//   - [KEY] opens or creates a key, [-KEY] deletes it with everything below it; KEY runs from
//     the '[' (no blank after it) to the last ']' of the line (what follows is passed over), starts
//     with HKEY_LOCAL_MACHINE or HKLM (any letter case), no other root is kept in the store, and
//     holds no control character (a byte below 0x20, or DEL 0x7F);
//   - "name"=... or @=... (the default value) with blanks around '=': "text", dword:1-8 hex digits,
//     hex:bytes or hex(N):bytes of type N (hexadecimal), these keywords in lower case; "name"=-
//     deletes the value; a quoted text knows the escapes \\, \", \n and \r;
//   - hex bytes are separated by commas; a line of them ending in a comma and a backslash goes on
//     on the next line that is neither blank nor a ';' comment;
//   - ';' after the data starts a comment that runs to the end of the line.
// In a "Version 5.00" file, hex data of the string types (1, 2, 7) are UTF-16LE text, as that
// version writes them; they are converted to the Windows-1252 bytes the store holds.
//
// Writing produces REGEDIT4 text: Windows-1252 bytes exactly as stored, CR LF line ends, a blank
// line after the header and after every key, line breaks in value names as \n and \r. REG_SZ data
// that is text and one final NUL is written as a quoted string; REG_DWORD of 4 bytes as
// dword:xxxxxxxx; everything else (other types, and REG_SZ or REG_DWORD data of an unusual shape)
// as hex(N): bytes, so reading the text back reproduces every byte. Should those bytes form valid
// UTF-8 (which a reader would take them for), the file is written as "Version 5.00" UTF-16LE
// instead.
#pragma once

#include "Outcome.h"
#include "RegistryBackend.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::regfile {

using reg::Dword;

// --- Windows-1252, the store's code page ----------------------------------------------------

// UTF-8 to Windows-1252 without loss: nullopt when `utf8` is not valid UTF-8 or holds a character
// the code page lacks (where Cp1252.h's toCp1252 would put a '?').
std::optional<std::string> exactCp1252(std::string_view utf8);

// --- Numbers in value data ------------------------------------------------------------------

// REG_DWORD data: the number's 4 bytes, least significant first, as the platform stores it.
std::string dwordBytes(Dword number);
// The number held in up to 8 bytes stored least significant first (REG_DWORD and REG_QWORD).
std::uint64_t littleEndianNumber(std::string_view bytes);

// --- Key paths -------------------------------------------------------------------------------

inline constexpr std::string_view ROOT_NAME = "HKEY_LOCAL_MACHINE";
inline constexpr std::string_view ROOT_SHORT_NAME = "HKLM";

// A full key path split from its root: the path relative to HKEY_LOCAL_MACHINE ("" for the root
// itself), or a failure saying what is wrong with the text.
// "HKLM\A\B" or "HKEY_LOCAL_MACHINE\A\B" (root in any letter case; one trailing backslash
// allowed) gives "A\B". Other roots, empty parts ("A\\B") and parts over 255 characters fail.
Outcome<std::string> keyPathBelowRoot(std::string_view fullPath);
// "A\B" gives "HKEY_LOCAL_MACHINE\A\B"; "" gives "HKEY_LOCAL_MACHINE".
std::string rootedKeyPath(std::string_view path);
// Windows-1252 text in UTF-8 for people to read on a terminal, with each control character
// (below 0x20, 0x7F, and the undefined bytes that stand for C1 controls) shown as \xHH, so that a
// stored escape sequence cannot command the terminal.
std::string shownText(std::string_view cp1252);
// rootedKeyPath's result as shownText.
std::string shownKeyPath(std::string_view path);

// --- The contents of a file ------------------------------------------------------------------

// One value line: set `name` to `type` and `data`, or delete it when `remove` is set.
struct ValueEdit {
    std::string name; // "" is the key's default value (@)
    bool remove = false;
    Dword type = reg::REG_SZ;
    std::string data; // the bytes stored; REG_SZ text includes its final NUL

    bool operator==(const ValueEdit&) const = default;
};

// One [key] or [-key] line with the value lines below it.
struct KeyEdit {
    std::string path; // relative to HKEY_LOCAL_MACHINE; "" is the root
    bool removeTree = false;
    std::vector<ValueEdit> values;
    std::size_t line = 0; // where the [key] line stands in the file it was read from
};

struct RegDocument {
    std::vector<KeyEdit> keys; // in file order, which is the order to apply them in
};

// A refusal names the line it lies on, 1-based (the header is line 1).
Outcome<RegDocument> parseRegFile(std::string_view fileBytes);

// The .reg file of `document` (only `path`, `values` with their names, types and data are
// used; `removeTree` and `remove` entries are written as [-KEY] and "name"=-). Fails, naming
// the key, only for a name no .reg line can hold: a key name with a control character, a value
// name with a NUL.
Outcome<std::string> formatRegFile(const RegDocument& document);

} // namespace zeb::regfile
