// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "KeyTree.h"

#include "Cp1252.h"
#include "ScopedKey.h"

#include <array>
#include <deque>
#include <utility>

namespace zeb::reg {

namespace {

constexpr std::size_t VALUE_NAME_BUFFER_CHARS = MAX_VALUE_NAME_LENGTH + 1; // and its NUL
constexpr std::size_t FIRST_DATA_BUFFER = 256;

// One open key of a tree operation.
struct Level {
    Level(RegistryBackend& store, std::string levelName, std::string levelPath)
        : key(store), name(std::move(levelName)), path(std::move(levelPath)) {}
    ScopedKey key;
    std::string name;                 // below the level above (the first: what the caller named)
    std::string path;                 // from where the operation began
    std::vector<std::string> subkeys; // a walk's list of them, taken once
    std::size_t next = 0;             // the next of them to visit
};
// A deque, as a ScopedKey cannot move, and a level's place stays put while deeper ones come.
using Levels = std::deque<Level>;

// Adds the key `name` below `parent` as the deepest level and opens it; the level stays, without
// a key, when it cannot be opened.
Status openLevel(Levels& levels, RegistryBackend& store, Handle parent, std::string name,
                 std::string path) {
    Level& level = levels.emplace_back(store, std::move(name), std::move(path));
    if (level.name.find('\0') != std::string::npos) {
        return ERROR_BAD_PATHNAME;
    }
    return level.key.openBelow(parent, level.name);
}

} // namespace

std::string subkeyPath(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + '\\' + name;
}

Status listSubkeys(RegistryBackend& store, Handle key, std::vector<std::string>& names) {
    std::array<char, KEY_NAME_BUFFER_CHARS> name{};
    for (Dword index = 0;; ++index) {
        Dword length = static_cast<Dword>(name.size());
        const Status status = store.enumKey(key, index, name.data(), &length);
        if (status != ERROR_SUCCESS) {
            return status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : status;
        }
        names.emplace_back(name.data(), length);
    }
}

TreeFailure walkKeyTree(RegistryBackend& store, const std::string& path, const KeyVisitor& visit,
                        const std::string& leftOut) {
    const std::string leftOutFold = foldCp1252(leftOut);
    Levels levels;
    // Opens, visits and lists one key, which becomes the deepest level.
    const auto enter = [&](Handle parent, std::string name, std::string keyPath) -> TreeFailure {
        if (const Status status =
                openLevel(levels, store, parent, std::move(name), std::move(keyPath));
            status != ERROR_SUCCESS) {
            return {status, TreeStep::OpenKey, levels.back().path};
        }
        Level& level = levels.back();
        visit(level.path, level.key.get());
        if (const Status status = listSubkeys(store, level.key.get(), level.subkeys);
            status != ERROR_SUCCESS) {
            return {status, TreeStep::ListSubkeys, level.path};
        }
        return {};
    };
    TreeFailure failure = enter(HKEY_LOCAL_MACHINE, path, path);
    while (failure.status == ERROR_SUCCESS && !levels.empty()) {
        Level& deepest = levels.back();
        if (deepest.next == deepest.subkeys.size()) {
            levels.pop_back();
            continue;
        }
        const std::string& name = deepest.subkeys[deepest.next++];
        std::string child = subkeyPath(deepest.path, name);
        if (leftOut.empty() || foldCp1252(child) != leftOutFold) {
            failure = enter(deepest.key.get(), name, std::move(child));
        }
    }
    return failure;
}

TreeFailure deleteKeyTree(RegistryBackend& store, Handle parent, const std::string& name,
                          Dword nameBufferChars) {
    Levels levels;
    if (const Status status = openLevel(levels, store, parent, name, name);
        status != ERROR_SUCCESS) {
        return {status, TreeStep::OpenKey, name};
    }
    std::vector<char> subkey(nameBufferChars);
    for (;;) {
        Level& deepest = levels.back();
        Dword length = nameBufferChars;
        const Status listed = store.enumKey(deepest.key.get(), 0, subkey.data(), &length);
        if (listed == ERROR_SUCCESS) {
            std::string child(subkey.data(), length);
            std::string childPath = subkeyPath(deepest.path, child);
            if (const Status status = openLevel(levels, store, deepest.key.get(), std::move(child),
                                                std::move(childPath));
                status != ERROR_SUCCESS) {
                return {status, TreeStep::OpenKey, levels.back().path};
            }
            continue;
        }
        if (listed != ERROR_NO_MORE_ITEMS) {
            return {listed, TreeStep::ListSubkeys, deepest.path};
        }
        // No subkeys left: the deepest key is closed, then deleted, and the walk goes a level up.
        const std::string doneName = std::move(deepest.name);
        std::string donePath = std::move(deepest.path);
        levels.pop_back();
        const Handle above = levels.empty() ? parent : levels.back().key.get();
        if (const Status status = store.deleteKey(above, doneName); status != ERROR_SUCCESS) {
            return {status, TreeStep::DeleteKey, std::move(donePath)};
        }
        if (levels.empty()) {
            return {};
        }
    }
}

ValueReader::ValueReader(RegistryBackend& store, Handle key)
    : store_(store), key_(key), name_(VALUE_NAME_BUFFER_CHARS), data_(FIRST_DATA_BUFFER) {}

Status ValueReader::at(Dword index, StoredValue& value) {
    for (;;) {
        Dword nameLength = static_cast<Dword>(name_.size());
        Dword type = REG_NONE;
        Dword size = static_cast<Dword>(data_.size());
        const Status status =
            store_.enumValue(key_, index, name_.data(), &nameLength, &type, data_.data(), &size);
        if (!grewFor(status, size)) {
            if (status == ERROR_SUCCESS) {
                value = valueOf(std::string(name_.data(), nameLength), type, size);
            }
            return status;
        }
    }
}

Status ValueReader::named(const std::string& name, StoredValue& value) {
    for (;;) {
        Dword type = REG_NONE;
        Dword size = static_cast<Dword>(data_.size());
        const Status status = store_.queryValue(key_, name, &type, data_.data(), &size);
        if (!grewFor(status, size)) {
            if (status == ERROR_SUCCESS) {
                value = valueOf(name, type, size);
            }
            return status;
        }
    }
}

Status ValueReader::all(std::vector<StoredValue>& values) {
    values.clear();
    for (Dword index = 0;; ++index) {
        StoredValue value;
        if (const Status status = at(index, value); status != ERROR_SUCCESS) {
            return status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : status;
        }
        values.push_back(std::move(value));
    }
}

// True when the data did not fit and the buffer now has room for it: read again.
bool ValueReader::grewFor(Status status, Dword needed) {
    if (status != ERROR_MORE_DATA || needed <= data_.size()) {
        return false;
    }
    data_.resize(needed);
    return true;
}

StoredValue ValueReader::valueOf(std::string name, Dword type, Dword size) const {
    return {std::move(name), type, std::string(reinterpret_cast<const char*>(data_.data()), size)};
}

} // namespace zeb::reg
