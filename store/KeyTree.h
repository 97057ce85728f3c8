// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Walking the store: a tree of keys visited or deleted, a key's subkeys listed, its values read
// whole whatever their size. CRegKey::RecurseDeleteKey and zeb-reg's query, export, delete and
// import stand on these, so the store has one recursive delete, not one per caller.
//
// Everything here works on the back end it is given (zeb-reg runs on the one it was handed, a
// test on its own) and in the store's own bytes: names and paths are Windows-1252, and CRegKey
// converts before and after. Failures are the back end's status codes (RegistryBackend.h); a
// tree operation also says which step failed on which key, so that a caller can say it in its own
// words. Nothing here throws of its own; an exception from a caller's visitor goes on, with every
// key the walk held closed. A tree is walked holding one open key per level, deepest last, on a
// list rather than on the call stack, so a tree of any depth is walked: the substitute refuses keys
// deeper than MAX_TREE_DEPTH, Wine sets no limit.
//
// A name holding a NUL names nothing here (161, no call to the back end): the platform reads names
// as C strings and would take "a<NUL>b" for "a", a key the caller did not name.
#pragma once

#include "RegistryBackend.h"

#include <functional>
#include <string>
#include <vector>

namespace zeb::reg {

// Room for the longest key name and its NUL: a buffer of this size lists every subkey.
inline constexpr Dword KEY_NAME_BUFFER_CHARS = MAX_KEY_NAME_LENGTH + 1;

// The path of the subkey `name` of the key at `parent`; below the root ("") the name alone.
std::string subkeyPath(const std::string& parent, const std::string& name);

// The names of the subkeys of `key`, appended to `names` in enumeration order. 0 once all are
// listed, else the first failure (with the names before it appended).
Status listSubkeys(RegistryBackend& store, Handle key, std::vector<std::string>& names);

// What a tree operation was doing when the store refused.
enum class TreeStep { OpenKey, ListSubkeys, DeleteKey };

// How a tree operation ended: status 0 when it went through; else the first failure's code, its
// step and its key's path (from where the operation began, joined as subkeyPath joins them).
struct TreeFailure {
    Status status = ERROR_SUCCESS;
    TreeStep step = TreeStep::OpenKey;
    std::string path;
};

// Called with each key's path and a handle that is open during the call.
using KeyVisitor = std::function<void(const std::string& path, Handle key)>;

// Visits the key at `path` (below HKEY_LOCAL_MACHINE) and every key below it, each key before its
// subkeys and subkeys in enumeration order. A key's subkeys are listed once, right after its visit.
// A key whose path folds (foldCp1252) to `leftOut`'s is passed over with all below it ("" passes
// nothing over). Stops at the first key that cannot be opened or listed.
TreeFailure walkKeyTree(RegistryBackend& store, const std::string& path, const KeyVisitor& visit,
                        const std::string& leftOut = {});

// Deletes the key `name` (a path) below `parent` with every key below it: depth first, asking each
// time for the subkey at index 0 (the one before it is gone by then) with a name buffer of
// `nameBufferChars` (a name that does not fit with its NUL gives 234), each key closed
// before it is deleted. Stops at the first failure; what was deleted before it stays deleted
// unless the caller runs this in a group (runAtomically) that then fails. Every key it opened is
// closed when it returns.
TreeFailure deleteKeyTree(RegistryBackend& store, Handle parent, const std::string& name,
                          Dword nameBufferChars = KEY_NAME_BUFFER_CHARS);

// A value as the store holds it.
struct StoredValue {
    std::string name;
    Dword type = REG_NONE;
    std::string data; // the bytes, as many as stored
};

// Reads the values of one open key whole, however large: when the data does not fit, the buffer
// grows to the size the store told (234) and the value is read again. One reader reuses its
// buffers for every read of its key; it does not own the key.
class ValueReader {
public:
    ValueReader(RegistryBackend& store, Handle key);

    // The value at `index`: 0, 259 past the last, else the store's failure (`value` untouched).
    Status at(Dword index, StoredValue& value);
    // The value called `name`: 0, 2 when the key has none of that name, else the store's failure.
    Status named(const std::string& name, StoredValue& value);
    // Every value in enumeration order: 0 once all are read, else the first failure (with the
    // values before it read).
    Status all(std::vector<StoredValue>& values);

private:
    RegistryBackend& store_;
    Handle key_;
    std::vector<char> name_;
    std::vector<unsigned char> data_;

    bool grewFor(Status status, Dword needed);
    StoredValue valueOf(std::string name, Dword type, Dword size) const;
};

} // namespace zeb::reg
