// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// CRegKey: the one way ZEB touches the Configuration store.
//
// One object holds at most one open key (m_hKey, 0 when none). Holders follow one pattern: create
// an object, OpenKey or Create one key, perform operations, CloseKey, drop the object. Dropping an
// object does NOT close its key, and OpenKey/Create on an object that holds a key replace the
// handle without closing the old one: holders close before they reuse an object.
//
// Every member returns the back end's status code (0 success; see RegistryBackend.h for the
// table); nothing throws, logs or shows a message. On any failure the Value out-argument is left as
// the caller had it. Texts are UTF-8 here and Windows-1252 in the store; a character that
// Windows-1252 cannot represent is stored as '?', as the platform's ANSI functions do. A name
// holding a NUL (which no caller of the platform's C-string functions can pass) names nothing: a
// key path gives 161, a value name 87 to SetValue and 2 to QueryValue and DeleteValue.
#pragma once

#include "RegistryBackend.h"

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace zeb::reg {

// A value holder: text, or a 32-bit signed integer (REG_DWORD).
using RegValue = std::variant<std::string, std::int32_t>;

// The text a holder shows: the text itself, or an integer's decimal digits.
std::string textOf(const RegValue& value);

inline constexpr Dword DEFAULT_BUFFER_SIZE = 64; // names and data: 63 characters and a NUL
inline constexpr Dword WRITER_ACCESS =
    0x2000A; // READ_CONTROL | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS

class CRegKey {
public:
    // The held key's handle. Public, as the platform's holder has it: ScopedKey takes a held key
    // over or lends one out, and a caller passes it as the parent of another key.
    Handle m_hKey = 0;

    // Closes the held key and sets m_hKey to 0 whatever the back end answered. 6 when none is held.
    Status CloseKey();

    // Opens KeyName below hKeyParent, creating it (and any missing keys above it) when missing.
    // The handle carries samDesired.
    Status Create(Handle hKeyParent, const std::string& KeyName, Dword Options = 0,
                  Dword samDesired = KEY_ALL_ACCESS);

    // Deletes one subkey of the held key (5 when it still has subkeys).
    Status DeleteSubKey(const std::string& SubKey);

    Status DeleteValue(const std::string& Name);

    // Reads the value at Index (0-based; 259 past the last). MaxNameSize and MaxValueSize are
    // in/out: buffer sizes in, the name's length (no NUL) and the data's byte count out; a name of
    // MaxNameSize characters or more, or data over MaxValueSize bytes, gives 234 (a MaxValueSize
    // of 0 too: it is a buffer of no room, not a request for the size alone); retrying with the
    // size told then succeeds, however large the data. REG_SZ data loses
    // its final byte when that is the NUL (text another program stored without one keeps all its
    // characters; no data at all is the empty text); REG_DWORD is read a second time by name;
    // other types leave Value.
    Status EnumValue(Dword Index, std::string& Name, Dword& DataType, RegValue& Value,
                     Dword& MaxNameSize, Dword& MaxValueSize);
    // The same with both buffers of DEFAULT_BUFFER_SIZE.
    Status EnumValue(Dword Index, std::string& Name, Dword& DataType, RegValue& Value);
    // The names that EnumValue with both buffers of DEFAULT_BUFFER_SIZE gives for Index 0, 1, ...
    // up to its first failure, read at once (RegistryBackend::valueSummaries): a list of 100,000
    // host names costs one statement instead of a call per name. 0 when every value is listed,
    // else the failure that ended the list (234 for a name or data too long for those buffers).
    Status EnumValueNames(std::vector<std::string>& Names);

    // Opens SubKey below hKey. samDesired is accepted and ignored: the key opens with full access.
    Status OpenKey(Handle hKey, const std::string& SubKey = "", Dword samDesired = KEY_ALL_ACCESS);

    // Reads the value Name. MaxValueSize is in/out as for EnumValue; a 64-character text with the
    // default size gives 234 and MaxValueSize 65.
    Status QueryValue(const std::string& Name, Dword& DataType, RegValue& Value,
                      Dword& MaxValueSize);
    Status QueryValue(const std::string& Name, Dword& DataType, RegValue& Value);

    // Deletes the subkey Key with everything below it, depth first, asking for subkey index 0 each
    // time; stops at the first delete that fails and returns its code (what was deleted stays so).
    // It holds one key per level of the tree, not one call: any depth is walked. Subkey names are
    // listed into the platform's buffer of 128 characters, so a name of 128 or more stops it with
    // 234. The walk is the store's one recursive delete, deleteKeyTree (KeyTree.h).
    Status RecurseDeleteKey(const std::string& Key);

    // Writes Value under Name: text as REG_SZ (bytes and one NUL), an integer as REG_DWORD.
    // Value first, name second.
    Status SetValue(const RegValue& Value, const std::string& Name);
};

// Runs `writes` (CRegKey calls) as one group: they all land, or none does. The group is undone
// when `writes` returns non-zero (that code is returned) or throws (the exception goes on after the
// undo); otherwise its result is the store's answer to committing it.
//
// Linux (SQLite substitute): the group is one transaction, rolled back as a whole.
// Windows (the platform registry): the registry offers no transaction ZEB can use, so the writes
// are made one by one as they come, each one first noting what it replaces; a failed group is then
// undone in reverse order by writing those notes back (values restored, created keys deleted,
// deleted keys and values recreated, a recreated value at the end of its key's enumeration order).
// Another program writing the same keys at the same moment may see the group half done, and an undo
// that the registry itself refuses (the process loses its rights mid-way, the machine stops) leaves
// what was written so far. A group inside a group that fails undoes only its own writes.
Status writeAsOneGroup(const std::function<Status()>& writes);

// Runs `reads` (CRegKey reads) against one state of the store and returns their code: another
// writer's change shows in all of them or in none. The substitute holds one read transaction
// around them, and so pays for the file's locks once instead of at every call (the configuration
// dialog reads three values of each record it shows); the platform registry runs them as they
// come.
Status readAsOneState(const std::function<Status()>& reads);

} // namespace zeb::reg
