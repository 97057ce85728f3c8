// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The registry operations that everything in ZEB's store stands on: the platform's nine (open,
// create, close, query and set a value, enumerate values and subkeys, delete a value or a key) and
// three of ZEB's own (valueSummaries, runAtomically, runReading).
//
// This is the one seam between ZEB and "a registry". Each operation speaks bytes and status codes
// exactly as the platform's ANSI registry functions do, so that CRegKey can be written once and
// behave the same over the real registry (Windows back end) and over ZEB's own durable substitute
// (SQLite back end, the default on Linux). Which back end the program uses is chosen when it is
// built (store/CMakeLists.txt builds one back end's folder, store/sqlite or store/win32, into the
// store; it defines makePlatformBackend()), never by #ifdefs in callers.
//
// Text: every name and path is a byte string in the ANSI code page (Windows-1252 for the
// substitute), without the terminating NUL; CRegKey converts from and to UTF-8.
//
// Status codes (a 32-bit signed integer, 0 = success) and their meanings:
//   0    success
//   2    key or value not found
//   5    access denied: deleting a key that still has subkeys, writing a read-only key,
//        a store file that cannot be written, an operation the handle's access mask forbids
//   6    invalid handle (0, closed, or never issued)
//   87   invalid parameter (a key name part over 255 characters, a value name over 16,383, a
//        key that would lie more than MAX_TREE_DEPTH levels below HKEY_LOCAL_MACHINE)
//   112  the disk is full: a write found no room for the store file's growth (substitute)
//   161  bad path (a subkey path that begins with a backslash)
//   170  busy: another process held the store file's lock past the busy timeout (substitute)
//   234  more data: a name or data buffer is too small; the needed size is reported
//   259  no more items: an enumeration index past the last value or subkey
//   1009 / 1015  the store file is not a valid store (it is never overwritten or repaired)
//   1016 the store file could not be read or written, for any other reason (substitute)
//   1018 the key was deleted while this handle held it
//   1022 a walk by index can no longer be answered from the state it began in: another walk took
//        over its snapshot and the key's values or subkeys changed meanwhile (substitute only;
//        the platform's code that tells a caller to enumerate again). Walk again from index 0.
//
// Ownership: a handle returned by openKey/createKey belongs to the caller until closeKey. The root
// HKEY_LOCAL_MACHINE is predefined; closing it returns 0 and keeps it usable. A back end never
// throws: every failure is a code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zeb::reg {

using Handle = std::uint32_t; // 32-bit, as the holder's m_hKey
using Status = std::int32_t;
using Dword = std::uint32_t;

inline constexpr Handle HKEY_LOCAL_MACHINE = 0x80000002u;

inline constexpr Dword REG_NONE = 0;
inline constexpr Dword REG_SZ = 1;
inline constexpr Dword REG_EXPAND_SZ = 2;
inline constexpr Dword REG_BINARY = 3;
inline constexpr Dword REG_DWORD = 4;
inline constexpr Dword REG_DWORD_BIG_ENDIAN = 5;
inline constexpr Dword REG_LINK = 6;
inline constexpr Dword REG_MULTI_SZ = 7;
inline constexpr Dword REG_RESOURCE_LIST = 8;
inline constexpr Dword REG_FULL_RESOURCE_DESCRIPTOR = 9;
inline constexpr Dword REG_RESOURCE_REQUIREMENTS_LIST = 10;
inline constexpr Dword REG_QWORD = 11;

inline constexpr Dword KEY_QUERY_VALUE = 0x0001;
inline constexpr Dword KEY_SET_VALUE = 0x0002;
inline constexpr Dword KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr Dword KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr Dword KEY_READ = 0x20019;
inline constexpr Dword KEY_WRITE = 0x20006;
inline constexpr Dword KEY_ALL_ACCESS = 0xF003F;

inline constexpr Status ERROR_SUCCESS = 0;
inline constexpr Status ERROR_FILE_NOT_FOUND = 2;
inline constexpr Status ERROR_ACCESS_DENIED = 5;
inline constexpr Status ERROR_INVALID_HANDLE = 6;
inline constexpr Status ERROR_INVALID_PARAMETER = 87;
inline constexpr Status ERROR_DISK_FULL = 112;
inline constexpr Status ERROR_BAD_PATHNAME = 161;
inline constexpr Status ERROR_BUSY = 170;
inline constexpr Status ERROR_MORE_DATA = 234;
inline constexpr Status ERROR_NO_MORE_ITEMS = 259;
inline constexpr Status ERROR_BADDB = 1009;
inline constexpr Status ERROR_REGISTRY_CORRUPT = 1015;
inline constexpr Status ERROR_REGISTRY_IO_FAILED = 1016;
inline constexpr Status ERROR_KEY_DELETED = 1018;
inline constexpr Status ERROR_KEY_CHANGED_IN_WALK = 1022; // ERROR_NOTIFY_ENUM_DIR

// The longest names the platform accepts, in bytes without the NUL; longer ones get
// ERROR_INVALID_PARAMETER. A key's limit is for one part of a path.
inline constexpr std::size_t MAX_KEY_NAME_LENGTH = 255;
inline constexpr std::size_t MAX_VALUE_NAME_LENGTH = 16383;
// The platform's documented depth of a registry tree: a key path below HKEY_LOCAL_MACHINE has at
// most this many parts. The substitute refuses to create a key deeper (87), so every walker of
// the store may rely on the bound; Wine sets no such limit.
inline constexpr std::size_t MAX_TREE_DEPTH = 512;

class RegistryBackend {
public:
    virtual ~RegistryBackend() = default;

    // RegOpenKeyA: opens `subKey` below `parent`. An empty subKey gives `parent` itself back, no
    // new handle (closing either closes both). No access mask: the handle gets the access the back
    // end grants an open (all).
    virtual Status openKey(Handle parent, const std::string& subKey, Handle* result) = 0;

    // RegCreateKeyExA: opens `subKey` below `parent`, creating it and any missing keys above it.
    // The handle carries `samDesired`: operations it does not permit fail with 5.
    virtual Status createKey(Handle parent, const std::string& subKey, Dword options,
                             Dword samDesired, Handle* result) = 0;

    // RegCloseKey.
    virtual Status closeKey(Handle key) = 0;

    // RegQueryValueExA. `type`, `data` and `cbData` may each be null. On entry *cbData is the
    // buffer's size; on return it is the data's size (0 or 234 alike). An empty name is the
    // key's default value. With data null, only the size and type are reported (0).
    virtual Status queryValue(Handle key, const std::string& name, Dword* type, unsigned char* data,
                              Dword* cbData) = 0;

    // RegSetValueExA: stores `cbData` bytes of `type` under `name`, replacing any earlier value.
    // A name over 16,383 characters gives 87 (reading or deleting by such a name finds nothing: 2).
    // A new value goes to the end of the key's enumeration order; a replaced one keeps its place.
    virtual Status setValue(Handle key, const std::string& name, Dword type,
                            const unsigned char* data, Dword cbData) = 0;

    // RegEnumValueA. On entry *cchName is the name buffer's size in characters including the NUL
    // (the name must be shorter, else 234); on return the name's length without the NUL. The name
    // is written NUL-terminated. Data as queryValue (234 when cbData is too small). 259 past the
    // end. With 234 nothing is written: *cchName stays as it was, *cbData tells the data's size.
    virtual Status enumValue(Handle key, Dword index, char* name, Dword* cchName, Dword* type,
                             unsigned char* data, Dword* cbData) = 0;

    // What enumValue tells of each value (name, data size) for index 0, 1, ... up to its
    // first failure, all at once: the substitute reads them in one statement, where a walk makes
    // a call per value (the selection dialog lists 100,000 host names). 0 after the last value;
    // otherwise enumValue's failure, with `values` holding those before it. This default walks
    // enumValue.
    struct ValueSummary {
        std::string name;
        Dword size = 0;
    };
    virtual Status valueSummaries(Handle key, std::vector<ValueSummary>& values);

    // RegEnumKeyExA (no class, no time): subkeys in case-insensitive name order.
    virtual Status enumKey(Handle key, Dword index, char* name, Dword* cchName) = 0;

    // RegDeleteValueA.
    virtual Status deleteValue(Handle key, const std::string& name) = 0;

    // RegDeleteKeyA: deletes `subKey` (which may be a path) below `key`; 5 while it has subkeys.
    virtual Status deleteKey(Handle key, const std::string& subKey) = 0;

    // Runs `body` so that all of its mutations land together or not at all, undone when `body`
    // returns non-zero (that code is returned) or throws (before the exception leaves; nothing
    // else of a back end throws). A group inside a group that fails undoes only its own mutations.
    // The substitute wraps the group in one transaction; the platform registry, which has none
    // ZEB can use, notes before each mutation what it replaces and writes the notes back in
    // reverse order (see writeAsOneGroup in CRegKey.h for what that leaves open). Used by the
    // administrator's import and, through writeAsOneGroup, by the host dialog's save.
    virtual Status runAtomically(const std::function<Status()>& body) = 0;

    // Runs `body`, which only reads, against one state of the store: the substitute holds one
    // read transaction around it, so a walk of many keys sees no change half-made and pays for
    // the file's locks once instead of at every call (an export of 100,000 records makes a
    // million). `body`'s code is returned; an exception ends the transaction and goes on. Writes
    // inside it fail. The platform registry runs `body` as it stands.
    virtual Status runReading(const std::function<Status()>& body) { return body(); }
};

// The back end this build was made for (SQLite substitute on Linux, the registry on Windows).
// On Linux the store file is $ZEB_REGISTRY, else the path fixed at build time, else
// $XDG_CONFIG_HOME/zeb/registry.db (~/.config/zeb/registry.db). The file is opened lazily.
std::unique_ptr<RegistryBackend> makePlatformBackend();

// The same store for a program that only reads it (the engine): every write gives 5. On Linux the
// file is opened read-only, so a reader never creates or changes it.
std::unique_ptr<RegistryBackend> makeReadOnlyPlatformBackend();

// Where this build's store lives, as a person would name it in a usage text: the store file's path
// on Linux (as makePlatformBackend() picks it), the registry's root key on Windows.
std::string platformStoreLocation();

// The process-wide back end that CRegKey uses. Created by makePlatformBackend() on first use.
// Neither it nor the functions here are thread-safe: the store serves one thread at a time. ZEB
// calls it from its user-interface thread, and before that only from the thread that readies the
// store while the display opens, which the user-interface thread waits for before its first call.
RegistryBackend& backend();

// Replaces the process-wide back end (tests install an in-memory store, or one that fails on
// purpose); returns the one it replaced so a scope can put it back.
std::unique_ptr<RegistryBackend> installBackend(std::unique_ptr<RegistryBackend> next);

} // namespace zeb::reg
