// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "SqliteRegistry.h"

#include "Cp1252.h"
#include "DeviceMap.h"
#include "SqliteConnection.h"
#include "SqliteTree.h"

#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zeb::reg {

using sqlite::Computed;
using sqlite::KeyId;
using sqlite::Place;
using sqlite::ROOT_KEY;

namespace {

constexpr Handle FIRST_HANDLE = 0x100;

// The platform's rules for a subkey path: parts between backslashes, none over 255 characters; a
// leading backslash is a bad path, as is an empty part inside; one trailing backslash is ignored.
// A path is a C string to the platform: it ends at the first NUL.
Status splitPath(const std::string& path, std::vector<std::string>& parts) {
    std::string_view rest(path.c_str());
    if (rest.starts_with('\\')) {
        return ERROR_BAD_PATHNAME;
    }
    if (rest.ends_with('\\')) {
        rest.remove_suffix(1);
    }
    while (!rest.empty()) {
        const std::size_t slash = rest.find('\\');
        const std::string_view part = rest.substr(0, slash);
        if (part.empty()) {
            return ERROR_BAD_PATHNAME;
        }
        if (part.size() > MAX_KEY_NAME_LENGTH) {
            return ERROR_INVALID_PARAMETER;
        }
        parts.emplace_back(part);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return ERROR_SUCCESS;
}

std::string cName(const std::string& name) {
    return std::string(name.c_str());
}

bool valueNameTooLong(const std::string& name) {
    return cName(name).size() > MAX_VALUE_NAME_LENGTH;
}

// Hands stored data to a caller's buffer as RegQueryValueExA does: the size always reported, 234
// when the buffer is too small, only the size and type when there is no buffer.
Status deliverData(Dword storedType, std::string_view bytes, Dword* type, unsigned char* data,
                   Dword* cbData) {
    if (data != nullptr && cbData == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (type != nullptr) {
        *type = storedType;
    }
    if (cbData == nullptr) {
        return ERROR_SUCCESS;
    }
    const auto size = static_cast<Dword>(bytes.size());
    const Dword room = *cbData;
    *cbData = size;
    if (data == nullptr) {
        return ERROR_SUCCESS;
    }
    if (size > room) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, bytes.data(), size);
    return ERROR_SUCCESS;
}

// Writes a NUL-terminated name to a buffer of *cchName characters (both given: the entry points
// refuse null ones first). When it does not fit: 234, and the buffer and its size are left as they
// were, as the platform leaves them.
Status deliverName(const std::string& name, char* buffer, Dword* cchName) {
    if (name.size() >= *cchName) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *cchName = static_cast<Dword>(name.size());
    return ERROR_SUCCESS;
}

// The name buffer of an enumeration must be given, with its size: else 87.
Status nameBufferStatus(const char* name, const Dword* cchName) {
    return name != nullptr && cchName != nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

// RegEnumValueA's answer: name and data only when both fit; otherwise 234 with the data's size
// reported and the name's room left as it was. `name` and `cchName` are given, as for deliverName.
Status deliverEnumerated(const sqlite::StoredValue& found, char* name, Dword* cchName, Dword* type,
                         unsigned char* data, Dword* cbData) {
    const bool nameFits = found.name.size() < *cchName;
    const Status dataStatus =
        deliverData(found.type, found.data, type, nameFits ? data : nullptr, cbData);
    if (dataStatus != ERROR_SUCCESS) {
        return dataStatus;
    }
    return deliverName(found.name, name, cchName);
}

} // namespace

struct SqliteRegistry::Impl {
    struct OpenedKey {
        Place place;
        Dword access = KEY_ALL_ACCESS;
        std::vector<SerialPort> ports; // the device map as it was when opened
        sqlite::ValueCursor values;
        sqlite::SubkeyCursor subkeys;
    };

    // What an operation does to the store, for which enter() readies it.
    enum class Use {
        Nothing, // the operation readies the store itself (opening, creating)
        Read,
        Write,
        Delete, // finds nothing in a store without tables, and must not create the file to say so
    };

    Impl(std::string path, Options options)
        : connection(std::move(path), options.readOnly), tree(connection),
          options(std::move(options)) {}

    sqlite::Connection connection;
    sqlite::Tree tree;
    Options options;
    std::unordered_map<Handle, OpenedKey> handles;
    Handle nextHandle = FIRST_HANDLE;
    OpenedKey root;
    Handle walking = 0; // the handle whose walk holds the connection's snapshot

    // What every operation on an open key does first, in the platform's order: the handle (6) and
    // its access mask (5, unless it includes `needed`), then the caller's `arguments` (a code
    // worked out beforehand: 87, 161), then the store readied for `use` of the key the operation
    // reaches, `parts` below the handle's (see ready). `key` is the open key once the handle is.
    Status enter(Handle handle, Dword needed, Status arguments, Use use, OpenedKey*& key,
                 const std::vector<std::string>& parts = {}) {
        if (const Status status = find(handle, needed, key); status != ERROR_SUCCESS) {
            return status;
        }
        if (arguments != ERROR_SUCCESS) {
            return arguments;
        }
        return ready(use, key->place, parts);
    }

    // The open key behind `handle`, if its access mask includes `needed`: else 6 or 5.
    // A walk's snapshot serves the calls on its own handle only (the second read of a number,
    // say); a call on any other handle reads the store as it is now.
    Status find(Handle handle, Dword needed, OpenedKey*& key) {
        if (handle != walking) {
            connection.endSnapshot();
        }
        if (handle == HKEY_LOCAL_MACHINE) {
            root = OpenedKey{}; // predefined, with full access
            key = &root;
            return ERROR_SUCCESS;
        }
        const auto found = handles.find(handle);
        if (found == handles.end()) {
            return ERROR_INVALID_HANDLE;
        }
        key = &found->second;
        return (key->access & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    }

    // Readies the store for `use` of the key `parts` below `from` reach. A computed key of the
    // device map needs no store, and cannot be written or deleted (5).
    Status ready(Use use, const Place& from, const std::vector<std::string>& parts) {
        const bool computed = sqlite::leadsIntoComputed(from, parts);
        switch (use) {
        case Use::Nothing:
            return ERROR_SUCCESS;
        case Use::Read:
            return computed ? ERROR_SUCCESS : prepareRead(from);
        case Use::Write:
            return computed ? ERROR_ACCESS_DENIED : connection.attach(true);
        case Use::Delete:
            return computed ? ERROR_ACCESS_DENIED : prepareDelete(from);
        }
        return ERROR_SUCCESS;
    }

    // Readies the store for reading below the stored key `place`. A store without tables yet
    // holds only the root.
    Status prepareRead(const Place& place) {
        if (const Status status = connection.attach(false); status != ERROR_SUCCESS) {
            return status;
        }
        return connection.hasTables() || place.key == ROOT_KEY ? ERROR_SUCCESS : ERROR_KEY_DELETED;
    }

    Status prepareDelete(const Place& place) {
        if (connection.readOnly()) {
            return ERROR_ACCESS_DENIED;
        }
        if (const Status status = prepareRead(place); status != ERROR_SUCCESS) {
            return status;
        }
        return connection.hasTables() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }

    Handle issue(const Place& place, Dword access) {
        while (nextHandle == 0 || nextHandle == HKEY_LOCAL_MACHINE ||
               handles.contains(nextHandle)) {
            nextHandle += 4;
        }
        const Handle handle = nextHandle;
        nextHandle += 4;
        OpenedKey& key = handles[handle];
        key.place = place;
        key.access = access;
        key.ports = sqlite::portsShownBy(place.computed, options.sysfsRoot);
        return handle;
    }

    // What opening and creating share: the handle's new place starts empty, the parent must be
    // open, and the path must follow the name rules.
    Status beginOpen(Handle parent, const std::string& subKey, Handle* result, OpenedKey*& from,
                     std::vector<std::string>& parts) {
        if (result == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        *result = 0;
        const Status path = splitPath(subKey, parts);
        return enter(parent, 0, path, Use::Nothing, from);
    }

    // Follows `parts` from `start` through existing keys only; 2 when one is missing.
    Status walk(const Place& start, const std::vector<std::string>& parts, Place& reached) {
        reached = start;
        if (reached.computed == Computed::No && connection.hasTables() && parts.empty()) {
            return tree.keyExists(reached.key);
        }
        for (const std::string& part : parts) {
            if (const auto computed = sqlite::computedChild(reached, foldCp1252(part))) {
                reached.computed = *computed;
                continue;
            }
            if (reached.computed != Computed::No || !connection.hasTables()) {
                return ERROR_FILE_NOT_FOUND;
            }
            if (const Status status = tree.findChild(reached.key, part, reached.key);
                status != ERROR_SUCCESS) {
                return status;
            }
        }
        return ERROR_SUCCESS;
    }

    // Opens or creates every part of `parts` below `start`. As on the platform, the parent
    // handle's access mask is not asked: creating is checked against the key, which grants it.
    // A key deeper than MAX_TREE_DEPTH is refused before anything is created.
    Status walkCreating(KeyId start, const std::vector<std::string>& parts, KeyId& reached) {
        reached = start;
        std::size_t depth = 0; // HKEY_LOCAL_MACHINE's, which every import starts from
        if (start != ROOT_KEY) {
            if (const Status status = tree.depthOf(start, depth); status != ERROR_SUCCESS) {
                return status;
            }
        }
        if (depth + parts.size() > MAX_TREE_DEPTH) {
            return ERROR_INVALID_PARAMETER;
        }
        for (const std::string& part : parts) {
            const Status found = tree.findChild(reached, part, reached);
            if (found == ERROR_FILE_NOT_FOUND) {
                if (const Status status = tree.addChild(reached, part, reached);
                    status != ERROR_SUCCESS) {
                    return status;
                }
            } else if (found != ERROR_SUCCESS) {
                return found;
            }
        }
        return ERROR_SUCCESS;
    }

    Status createBelow(const OpenedKey& parent, const std::vector<std::string>& parts,
                       Dword samDesired, Handle* result) {
        if (const Status status = ready(Use::Write, parent.place, parts); status != ERROR_SUCCESS) {
            return status;
        }
        KeyId reached = ROOT_KEY;
        const Status status =
            connection.mutate([&] { return walkCreating(parent.place.key, parts, reached); });
        if (status == ERROR_SUCCESS) {
            *result = issue(Place{reached, Computed::No}, samDesired);
        }
        return status;
    }

    Status valueOf(const OpenedKey& key, const std::string& name, Dword& type, std::string& data) {
        if (key.place.computed != Computed::No) {
            return sqlite::portValue(key.ports, name, type, data);
        }
        if (!connection.hasTables()) {
            return ERROR_FILE_NOT_FOUND;
        }
        return tree.value(key.place.key, name, type, data);
    }

    Status valueAt(OpenedKey& key, Dword index, sqlite::StoredValue& found) {
        if (key.place.computed != Computed::No) {
            return sqlite::portValueAt(key.ports, index, found);
        }
        if (!connection.hasTables()) {
            return ERROR_NO_MORE_ITEMS;
        }
        return tree.valueAt(key.place.key, index, key.values, found);
    }

    Status subkeyAt(OpenedKey& key, Dword index, std::string& name) {
        if (key.place.computed != Computed::No) {
            return sqlite::computedSubkeyAt(key.place.computed, index, name);
        }
        if (key.place.key == ROOT_KEY) {
            // The root lists the computed HARDWARE among its stored subkeys, in sort order.
            const std::string hardware(sqlite::hardwareKeyName());
            Dword before = 0;
            if (connection.hasTables()) {
                if (const Status status = tree.subkeysBefore(ROOT_KEY, hardware, before);
                    status != ERROR_SUCCESS) {
                    return status;
                }
            }
            if (index == before) {
                name = hardware;
                return ERROR_SUCCESS;
            }
            if (index > before) {
                --index;
            }
        }
        if (!connection.hasTables()) {
            return ERROR_NO_MORE_ITEMS;
        }
        return tree.subkeyAt(key.place.key, index, key.subkeys, name);
    }

    // Deletes the key at the end of `parts` below `from` (the key itself when `parts` is empty).
    Status deleteStoredKey(const Place& from, const std::vector<std::string>& parts) {
        Place target;
        if (const Status status = walk(from, parts, target); status != ERROR_SUCCESS) {
            return status;
        }
        if (target.computed != Computed::No || target.key == ROOT_KEY) {
            return ERROR_ACCESS_DENIED;
        }
        return tree.deleteKey(target.key);
    }
};

SqliteRegistry::SqliteRegistry(std::string path) : SqliteRegistry(std::move(path), Options{}) {}

SqliteRegistry::SqliteRegistry(std::string path, Options options)
    : impl_(std::make_unique<Impl>(std::move(path), std::move(options))) {}

SqliteRegistry::~SqliteRegistry() = default;

Status SqliteRegistry::openKey(Handle parent, const std::string& subKey, Handle* result) {
    Impl::OpenedKey* from = nullptr;
    std::vector<std::string> parts;
    if (const Status status = impl_->beginOpen(parent, subKey, result, from, parts);
        status != ERROR_SUCCESS) {
        return status;
    }
    // As RegOpenKeyA does: no path, no new handle; the caller gets the one it passed.
    if (parts.empty()) {
        *result = parent;
        return ERROR_SUCCESS;
    }
    if (const Status status = impl_->ready(Impl::Use::Read, from->place, parts);
        status != ERROR_SUCCESS) {
        return status;
    }
    Place reached;
    if (const Status status = impl_->walk(from->place, parts, reached); status != ERROR_SUCCESS) {
        return status;
    }
    *result = impl_->issue(reached, KEY_ALL_ACCESS);
    return ERROR_SUCCESS;
}

Status SqliteRegistry::createKey(Handle parent, const std::string& subKey, Dword /*options*/,
                                 Dword samDesired, Handle* result) {
    Impl::OpenedKey* from = nullptr;
    std::vector<std::string> parts;
    if (const Status status = impl_->beginOpen(parent, subKey, result, from, parts);
        status != ERROR_SUCCESS) {
        return status;
    }
    if (!sqlite::leadsIntoComputed(from->place, parts)) {
        return impl_->createBelow(*from, parts, samDesired, result);
    }
    // Below HARDWARE only the computed keys exist, and nothing can be created there.
    Place reached;
    if (impl_->walk(from->place, parts, reached) != ERROR_SUCCESS) {
        return ERROR_ACCESS_DENIED;
    }
    *result = impl_->issue(reached, samDesired);
    return ERROR_SUCCESS;
}

std::size_t SqliteRegistry::openHandleCount() const {
    return impl_->handles.size();
}

Status SqliteRegistry::closeKey(Handle key) {
    if (key == impl_->walking) {
        impl_->connection.endSnapshot();
    }
    if (key == HKEY_LOCAL_MACHINE) {
        return ERROR_SUCCESS;
    }
    return impl_->handles.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

Status SqliteRegistry::queryValue(Handle key, const std::string& name, Dword* type,
                                  unsigned char* data, Dword* cbData) {
    Impl::OpenedKey* opened = nullptr;
    if (const Status status =
            impl_->enter(key, KEY_QUERY_VALUE, ERROR_SUCCESS, Impl::Use::Read, opened);
        status != ERROR_SUCCESS) {
        return status;
    }
    Dword storedType = REG_NONE;
    std::string bytes;
    if (const Status status = impl_->valueOf(*opened, cName(name), storedType, bytes);
        status != ERROR_SUCCESS) {
        return status;
    }
    return deliverData(storedType, bytes, type, data, cbData);
}

Status SqliteRegistry::setValue(Handle key, const std::string& name, Dword type,
                                const unsigned char* data, Dword cbData) {
    const bool valid = !valueNameTooLong(name) && (data != nullptr || cbData == 0);
    Impl::OpenedKey* opened = nullptr;
    if (const Status status =
            impl_->enter(key, KEY_SET_VALUE, valid ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER,
                         Impl::Use::Write, opened);
        status != ERROR_SUCCESS) {
        return status;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data), data == nullptr ? 0 : cbData);
    auto& tree = impl_->tree;
    const KeyId target = opened->place.key;
    return impl_->connection.mutateInOneStatement(
        [&] { return tree.setValue(target, cName(name), type, bytes); });
}

Status SqliteRegistry::enumValue(Handle key, Dword index, char* name, Dword* cchName, Dword* type,
                                 unsigned char* data, Dword* cbData) {
    Impl::OpenedKey* opened = nullptr;
    if (const Status status = impl_->enter(key, KEY_QUERY_VALUE, nameBufferStatus(name, cchName),
                                           Impl::Use::Read, opened);
        status != ERROR_SUCCESS) {
        return status;
    }
    sqlite::StoredValue found;
    const Status status = impl_->valueAt(*opened, index, found);
    impl_->walking = key;
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return deliverEnumerated(found, name, cchName, type, data, cbData);
}

Status SqliteRegistry::valueSummaries(Handle key, std::vector<ValueSummary>& values) {
    values.clear();
    Impl::OpenedKey* opened = nullptr;
    if (const Status status =
            impl_->enter(key, KEY_QUERY_VALUE, ERROR_SUCCESS, Impl::Use::Read, opened);
        status != ERROR_SUCCESS) {
        return status;
    }
    if (opened->place.computed != Computed::No) {
        return RegistryBackend::valueSummaries(key, values);
    }
    if (!impl_->connection.hasTables()) {
        return ERROR_SUCCESS;
    }
    // The key's check and its values read one state of the store.
    return impl_->connection.runReading(
        [&] { return impl_->tree.valueSummaries(opened->place.key, values); });
}

Status SqliteRegistry::enumKey(Handle key, Dword index, char* name, Dword* cchName) {
    Impl::OpenedKey* opened = nullptr;
    if (const Status status = impl_->enter(
            key, KEY_ENUMERATE_SUB_KEYS, nameBufferStatus(name, cchName), Impl::Use::Read, opened);
        status != ERROR_SUCCESS) {
        return status;
    }
    std::string found;
    const Status status = impl_->subkeyAt(*opened, index, found);
    impl_->walking = key;
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return deliverName(found, name, cchName);
}

Status SqliteRegistry::deleteValue(Handle key, const std::string& name) {
    Impl::OpenedKey* opened = nullptr;
    if (const Status status =
            impl_->enter(key, KEY_SET_VALUE, ERROR_SUCCESS, Impl::Use::Delete, opened);
        status != ERROR_SUCCESS) {
        return status;
    }
    auto& tree = impl_->tree;
    const KeyId target = opened->place.key;
    return impl_->connection.mutate([&] {
        const Status status = tree.keyExists(target);
        return status != ERROR_SUCCESS ? status : tree.deleteValue(target, cName(name));
    });
}

// The platform checks no access of the parent handle here: deleting needs DELETE on the subkey,
// which every key of the store grants.
Status SqliteRegistry::deleteKey(Handle key, const std::string& subKey) {
    std::vector<std::string> parts;
    const Status path = splitPath(subKey, parts);
    Impl::OpenedKey* opened = nullptr;
    if (const Status status = impl_->enter(key, 0, path, Impl::Use::Delete, opened, parts);
        status != ERROR_SUCCESS) {
        return status;
    }
    return impl_->connection.mutate([&] { return impl_->deleteStoredKey(opened->place, parts); });
}

Status SqliteRegistry::runAtomically(const std::function<Status()>& body) {
    return impl_->connection.runAtomically(body);
}

Status SqliteRegistry::runReading(const std::function<Status()>& body) {
    return impl_->connection.runReading(body);
}

} // namespace zeb::reg
