#include "SqliteRegistry.h"

#include "Cp1252.h"
#include "SqliteConnection.h"
#include "SysfsSerialPorts.h"

#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <pwd.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#ifndef ZEB_DEFAULT_REGISTRY
#define ZEB_DEFAULT_REGISTRY ""
#endif

namespace zeb::reg {

using sqlite::Query;

namespace {

constexpr std::size_t LONGEST_KEY_NAME = 255;
constexpr std::size_t LONGEST_VALUE_NAME = 16383;
constexpr std::int64_t ROOT_KEY = 0; // HKEY_LOCAL_MACHINE: no row of its own
constexpr Handle FIRST_HANDLE = 0x100;

// The keys below HARDWARE are not stored: they exist for the computed serial device map only.
enum class Computed { No, Hardware, DeviceMap, SerialComm };

struct Place {
    std::int64_t key = ROOT_KEY; // a row of `keys`, when not computed
    Computed computed = Computed::No;
};

// The next computed key below `place` whose folded name is `fold`.
std::optional<Computed> computedChild(const Place& place, const std::string& fold) {
    if (place.computed == Computed::No && place.key == ROOT_KEY && fold == "HARDWARE") {
        return Computed::Hardware;
    }
    if (place.computed == Computed::Hardware && fold == "DEVICEMAP") {
        return Computed::DeviceMap;
    }
    if (place.computed == Computed::DeviceMap && fold == "SERIALCOMM") {
        return Computed::SerialComm;
    }
    return std::nullopt;
}

// Whether `parts` below `from` name a computed key (or `from` is one already).
bool leadsIntoComputed(const Place& from, const std::vector<std::string>& parts) {
    return from.computed != Computed::No ||
           (!parts.empty() && computedChild(from, foldCp1252(parts[0])).has_value());
}

// The one subkey a computed key shows, if any.
const char* computedSubkeyOf(Computed computed) {
    switch (computed) {
    case Computed::Hardware:
        return "DEVICEMAP";
    case Computed::DeviceMap:
        return "SERIALCOMM";
    default:
        return nullptr;
    }
}

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
        if (part.size() > LONGEST_KEY_NAME) {
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
    return cName(name).size() > LONGEST_VALUE_NAME;
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

// Writes a NUL-terminated name to a buffer of *cchName characters; 234 when it does not fit.
Status deliverName(const std::string& name, char* buffer, Dword* cchName) {
    if (buffer == nullptr || cchName == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const Dword room = *cchName;
    *cchName = static_cast<Dword>(name.size());
    if (name.size() >= room) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return ERROR_SUCCESS;
}

// The REG_SZ data of a computed value: the text and its NUL.
std::string textData(const std::string& text) {
    return std::string(text.c_str(), text.size() + 1);
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    const passwd* user = ::getpwuid(::getuid());
    return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : ".";
}

} // namespace

struct SqliteRegistry::Impl {
    // Where an enumeration stopped, so walking a key from index 0 upwards costs one indexed step
    // per call rather than a scan from the start. Valid while nothing was committed since.
    struct Cursor {
        bool used = false;
        sqlite::Stamp stamp;
        Dword index = 0;
        std::int64_t lastId = 0; // values: the id at `index`
        std::string lastFold;    // subkeys: the folded name at `index`
    };

    struct OpenedKey {
        Place place;
        Dword access = KEY_ALL_ACCESS;
        std::vector<SerialPort> ports; // the device map as it was when opened
        Cursor values;
        Cursor subkeys;
    };

    Impl(std::string path, Options options)
        : connection(std::move(path), options.readOnly), options(std::move(options)) {}

    sqlite::Connection connection;
    Options options;
    std::unordered_map<Handle, OpenedKey> handles;
    Handle nextHandle = FIRST_HANDLE;
    OpenedKey root;

    OpenedKey* find(Handle handle) {
        if (handle == HKEY_LOCAL_MACHINE) {
            root = OpenedKey{};
            return &root;
        }
        const auto found = handles.find(handle);
        return found == handles.end() ? nullptr : &found->second;
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
        if (place.computed == Computed::SerialComm) {
            key.ports = listSerialPorts(options.sysfsRoot);
        }
        return handle;
    }

    // 0 when the key still exists, 1018 when it was deleted under the handle.
    Status stillThere(const Place& place) {
        if (place.computed != Computed::No || place.key == ROOT_KEY) {
            return ERROR_SUCCESS;
        }
        if (!connection.hasTables()) {
            return ERROR_KEY_DELETED;
        }
        Query exists(connection, "SELECT 1 FROM keys WHERE id = ?");
        const int rc = exists.bind(place.key).step();
        if (rc == SQLITE_ROW) {
            return ERROR_SUCCESS;
        }
        return rc == SQLITE_DONE ? ERROR_KEY_DELETED : sqlite::statusOf(rc);
    }

    // Makes the store ready for a read or write on `place` and checks the key is still there.
    Status prepareFor(const Place& place, bool forWrite) {
        if (place.computed != Computed::No) {
            return forWrite ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
        }
        if (const Status status = connection.attach(forWrite); status != ERROR_SUCCESS) {
            return status;
        }
        return stillThere(place);
    }

    // Deleting from a store without tables finds nothing, and must not create the file to say so.
    Status prepareForDelete(const Place& place) {
        if (place.computed != Computed::No || connection.readOnly()) {
            return ERROR_ACCESS_DENIED;
        }
        if (const Status status = prepareFor(place, false); status != ERROR_SUCCESS) {
            return status;
        }
        return connection.hasTables() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }

    // The stored subkey of `parent` named `fold`, or nothing (a failure comes back in `status`).
    std::optional<std::int64_t> childKey(std::int64_t parent, const std::string& fold,
                                         Status& status) {
        status = ERROR_SUCCESS;
        if (!connection.hasTables()) {
            return std::nullopt;
        }
        Query child(connection, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
        const int rc = child.bind(parent).bind(fold).step();
        if (rc == SQLITE_ROW) {
            return child.integer(0);
        }
        status = sqlite::statusOf(rc);
        return std::nullopt;
    }

    // Follows `parts` from `start` through existing keys only; 2 when one is missing.
    Status walk(Place start, const std::vector<std::string>& parts, Place& reached) {
        reached = start;
        for (const std::string& part : parts) {
            const std::string fold = foldCp1252(part);
            if (const auto computed = computedChild(reached, fold)) {
                reached.computed = *computed;
                continue;
            }
            if (reached.computed != Computed::No) {
                return ERROR_FILE_NOT_FOUND;
            }
            Status status = ERROR_SUCCESS;
            const auto child = childKey(reached.key, fold, status);
            if (!child) {
                return status == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : status;
            }
            reached.key = *child;
        }
        return ERROR_SUCCESS;
    }

    // Opens or creates every part of `parts` below `start`. Creating directly below the handle's
    // own key needs KEY_CREATE_SUB_KEY in its mask; keys made further down are the caller's own.
    Status walkCreating(const OpenedKey& start, const std::vector<std::string>& parts,
                        std::int64_t& reached) {
        reached = start.place.key;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const std::string fold = foldCp1252(parts[i]);
            Status status = ERROR_SUCCESS;
            if (const auto child = childKey(reached, fold, status)) {
                reached = *child;
                continue;
            }
            if (status != ERROR_SUCCESS) {
                return status;
            }
            if (i == 0 && (start.access & KEY_CREATE_SUB_KEY) == 0) {
                return ERROR_ACCESS_DENIED;
            }
            Query insert(connection,
                         "INSERT INTO keys(parent, name, fold) VALUES(?, ?, ?) RETURNING id");
            const int rc = insert.bind(reached).bind(parts[i]).bind(fold).step();
            if (rc != SQLITE_ROW) {
                return sqlite::statusOf(rc);
            }
            reached = insert.integer(0);
        }
        return ERROR_SUCCESS;
    }

    Status createBelow(OpenedKey& parent, const std::vector<std::string>& parts, Dword samDesired,
                       Handle* result) {
        if (const Status status = prepareFor(parent.place, true); status != ERROR_SUCCESS) {
            return status;
        }
        std::int64_t reached = ROOT_KEY;
        const Status status = connection.mutate([&] {
            const Status there = stillThere(parent.place);
            return there != ERROR_SUCCESS ? there : walkCreating(parent, parts, reached);
        });
        if (status == ERROR_SUCCESS) {
            *result = issue(Place{reached, Computed::No}, samDesired);
        }
        return status;
    }

    // A stored value's type and data; 2 when there is none of that name.
    Status storedValue(std::int64_t key, const std::string& name, Dword& type, std::string& data) {
        if (!connection.hasTables()) {
            return ERROR_FILE_NOT_FOUND;
        }
        Query value(connection, "SELECT type, data FROM vals WHERE key = ? AND fold = ?");
        const int rc = value.bind(key).bind(foldCp1252(cName(name))).step();
        if (rc != SQLITE_ROW) {
            return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : sqlite::statusOf(rc);
        }
        type = static_cast<Dword>(value.integer(0));
        data = value.bytes(1);
        return ERROR_SUCCESS;
    }

    Status computedValue(const OpenedKey& key, const std::string& name, Dword& type,
                         std::string& data) {
        const std::string fold = foldCp1252(cName(name));
        for (const SerialPort& port : key.ports) {
            if (foldCp1252(port.valueName) == fold) {
                type = REG_SZ;
                data = textData(port.devicePath);
                return ERROR_SUCCESS;
            }
        }
        return ERROR_FILE_NOT_FOUND;
    }

    // The value at `index` in first-creation order: name, type and data.
    struct Found {
        std::string name;
        Dword type = REG_NONE;
        std::string data;
    };

    Status valueAt(OpenedKey& key, Dword index, Found& found) {
        if (key.place.computed != Computed::No) {
            if (index >= key.ports.size()) {
                return ERROR_NO_MORE_ITEMS;
            }
            found = {key.ports[index].valueName, REG_SZ, textData(key.ports[index].devicePath)};
            return ERROR_SUCCESS;
        }
        if (!connection.hasTables()) {
            return ERROR_NO_MORE_ITEMS;
        }
        Cursor& cursor = key.values;
        const sqlite::Stamp now = connection.stamp();
        const bool following = cursor.used && cursor.stamp == now && index == cursor.index + 1;
        Query next(connection,
                   following ? "SELECT id, name, type, data FROM vals WHERE key = ? AND id > ? "
                               "ORDER BY id LIMIT 1"
                             : "SELECT id, name, type, data FROM vals WHERE key = ? "
                               "ORDER BY id LIMIT 1 OFFSET ?");
        next.bind(key.place.key).bind(following ? cursor.lastId : std::int64_t{index});
        const int rc = next.step();
        if (rc != SQLITE_ROW) {
            return rc == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : sqlite::statusOf(rc);
        }
        cursor = {true, now, index, next.integer(0), {}};
        found = {next.bytes(1), static_cast<Dword>(next.integer(2)), next.bytes(3)};
        return ERROR_SUCCESS;
    }

    // The stored subkey at `index` in case-insensitive order.
    Status storedSubkeyAt(OpenedKey& key, Dword index, std::string& name) {
        Cursor& cursor = key.subkeys;
        const sqlite::Stamp now = connection.stamp();
        const bool following = cursor.used && cursor.stamp == now && index == cursor.index + 1;
        Query next(connection, following
                                   ? "SELECT fold, name FROM keys WHERE parent = ? AND fold > ? "
                                     "ORDER BY fold LIMIT 1"
                                   : "SELECT fold, name FROM keys WHERE parent = ? "
                                     "ORDER BY fold LIMIT 1 OFFSET ?");
        next.bind(key.place.key);
        if (following) {
            next.bind(cursor.lastFold);
        } else {
            next.bind(std::int64_t{index});
        }
        const int rc = next.step();
        if (rc != SQLITE_ROW) {
            return rc == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : sqlite::statusOf(rc);
        }
        cursor = {true, now, index, 0, next.bytes(0)};
        name = next.bytes(1);
        return ERROR_SUCCESS;
    }

    // How many stored subkeys of the root sort before the computed HARDWARE key.
    Status storedBeforeHardware(Dword& count) {
        Query before(connection, "SELECT count(*) FROM keys WHERE parent = ? AND fold < ?");
        const int rc = before.bind(ROOT_KEY).bind(std::string_view("HARDWARE")).step();
        if (rc != SQLITE_ROW) {
            return sqlite::statusOf(rc);
        }
        count = static_cast<Dword>(before.integer(0));
        return ERROR_SUCCESS;
    }

    Status subkeyAt(OpenedKey& key, Dword index, std::string& name) {
        if (key.place.computed != Computed::No) {
            const char* only = computedSubkeyOf(key.place.computed);
            if (only == nullptr || index > 0) {
                return ERROR_NO_MORE_ITEMS;
            }
            name = only;
            return ERROR_SUCCESS;
        }
        Dword before = 0;
        if (key.place.key == ROOT_KEY) {
            // The root lists the computed HARDWARE among its stored subkeys, in sort order.
            if (connection.hasTables()) {
                if (const Status status = storedBeforeHardware(before); status != ERROR_SUCCESS) {
                    return status;
                }
            }
            if (index == before) {
                name = "HARDWARE";
                return ERROR_SUCCESS;
            }
            if (index > before) {
                --index;
            }
        }
        if (!connection.hasTables()) {
            return ERROR_NO_MORE_ITEMS;
        }
        return storedSubkeyAt(key, index, name);
    }

    // Deletes the key at the end of `parts` below `from` (the key itself when `parts` is empty).
    Status deleteStoredKey(const Place& from, const std::vector<std::string>& parts) {
        if (const Status status = stillThere(from); status != ERROR_SUCCESS) {
            return status;
        }
        Place target;
        if (const Status status = walk(from, parts, target); status != ERROR_SUCCESS) {
            return status;
        }
        if (target.computed != Computed::No || target.key == ROOT_KEY) {
            return ERROR_ACCESS_DENIED;
        }
        Query children(connection, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
        const int rc = children.bind(target.key).step();
        if (rc == SQLITE_ROW) {
            return ERROR_ACCESS_DENIED;
        }
        if (rc != SQLITE_DONE) {
            return sqlite::statusOf(rc);
        }
        Query values(connection, "DELETE FROM vals WHERE key = ?");
        if (const Status status = values.bind(target.key).run(); status != ERROR_SUCCESS) {
            return status;
        }
        Query key(connection, "DELETE FROM keys WHERE id = ?");
        return key.bind(target.key).run();
    }
};

SqliteRegistry::SqliteRegistry(std::string path) : SqliteRegistry(std::move(path), Options{}) {}

SqliteRegistry::SqliteRegistry(std::string path, Options options)
    : impl_(std::make_unique<Impl>(std::move(path), std::move(options))) {}

SqliteRegistry::~SqliteRegistry() = default;

std::string SqliteRegistry::defaultPath() {
    if (const char* chosen = std::getenv("ZEB_REGISTRY"); chosen != nullptr && *chosen != '\0') {
        return chosen;
    }
    if (const std::string builtIn = ZEB_DEFAULT_REGISTRY; !builtIn.empty()) {
        return builtIn;
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // The base directory specification ignores a relative XDG_CONFIG_HOME.
    const std::string base =
        config != nullptr && config[0] == '/' ? std::string(config) : homeFolder() + "/.config";
    return base + "/zeb/registry.db";
}

std::string SqliteRegistry::defaultSysfsRoot() {
    const char* root = std::getenv("ZEB_SYSFS_ROOT");
    return root != nullptr && *root != '\0' ? std::string(root) : std::string("/sys");
}

Status SqliteRegistry::openKey(Handle parent, const std::string& subKey, Handle* result) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = 0;
    Impl::OpenedKey* from = impl_->find(parent);
    if (from == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<std::string> parts;
    if (const Status status = splitPath(subKey, parts); status != ERROR_SUCCESS) {
        return status;
    }
    // The device map needs no store: a broken store file must not hide the serial ports.
    if (!leadsIntoComputed(from->place, parts)) {
        if (const Status status = impl_->prepareFor(from->place, false); status != ERROR_SUCCESS) {
            return status;
        }
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
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = 0;
    Impl::OpenedKey* from = impl_->find(parent);
    if (from == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<std::string> parts;
    if (const Status status = splitPath(subKey, parts); status != ERROR_SUCCESS) {
        return status;
    }
    if (!leadsIntoComputed(from->place, parts)) {
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

Status SqliteRegistry::closeKey(Handle key) {
    if (key == HKEY_LOCAL_MACHINE) {
        return ERROR_SUCCESS;
    }
    return impl_->handles.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

Status SqliteRegistry::queryValue(Handle key, const std::string& name, Dword* type,
                                  unsigned char* data, Dword* cbData) {
    Impl::OpenedKey* opened = impl_->find(key);
    if (opened == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if ((opened->access & KEY_QUERY_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    if (valueNameTooLong(name)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const Status status = impl_->prepareFor(opened->place, false); status != ERROR_SUCCESS) {
        return status;
    }
    Dword storedType = REG_NONE;
    std::string bytes;
    const Status status = opened->place.computed != Computed::No
                              ? impl_->computedValue(*opened, name, storedType, bytes)
                              : impl_->storedValue(opened->place.key, name, storedType, bytes);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return deliverData(storedType, bytes, type, data, cbData);
}

Status SqliteRegistry::setValue(Handle key, const std::string& name, Dword type,
                                const unsigned char* data, Dword cbData) {
    Impl::OpenedKey* opened = impl_->find(key);
    if (opened == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if ((opened->access & KEY_SET_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    if (valueNameTooLong(name) || (data == nullptr && cbData > 0)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const Status status = impl_->prepareFor(opened->place, true); status != ERROR_SUCCESS) {
        return status;
    }
    const std::string storeName = cName(name);
    const std::string_view bytes(reinterpret_cast<const char*>(data), data == nullptr ? 0 : cbData);
    auto& connection = impl_->connection;
    return connection.mutate([&] {
        if (const Status status = impl_->stillThere(opened->place); status != ERROR_SUCCESS) {
            return status;
        }
        // A replaced value keeps its name's case and its place in the order.
        Query replace(connection, "UPDATE vals SET type = ?, data = ? WHERE key = ? AND fold = ?");
        const std::string fold = foldCp1252(storeName);
        const Status replaced =
            replace.bind(std::int64_t{type}).bind(bytes).bind(opened->place.key).bind(fold).run();
        if (replaced != ERROR_SUCCESS || connection.changes() > 0) {
            return replaced;
        }
        Query insert(connection,
                     "INSERT INTO vals(key, name, fold, type, data) VALUES(?, ?, ?, ?, ?)");
        return insert.bind(opened->place.key)
            .bind(storeName)
            .bind(fold)
            .bind(std::int64_t{type})
            .bind(bytes)
            .run();
    });
}

Status SqliteRegistry::enumValue(Handle key, Dword index, char* name, Dword* cchName, Dword* type,
                                 unsigned char* data, Dword* cbData) {
    Impl::OpenedKey* opened = impl_->find(key);
    if (opened == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if ((opened->access & KEY_QUERY_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    if (name == nullptr || cchName == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const Status status = impl_->prepareFor(opened->place, false); status != ERROR_SUCCESS) {
        return status;
    }
    Impl::Found found;
    if (const Status status = impl_->valueAt(*opened, index, found); status != ERROR_SUCCESS) {
        return status;
    }
    if (const Status status = deliverName(found.name, name, cchName); status != ERROR_SUCCESS) {
        return status;
    }
    return deliverData(found.type, found.data, type, data, cbData);
}

Status SqliteRegistry::enumKey(Handle key, Dword index, char* name, Dword* cchName) {
    Impl::OpenedKey* opened = impl_->find(key);
    if (opened == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if ((opened->access & KEY_ENUMERATE_SUB_KEYS) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    if (name == nullptr || cchName == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const Status status = impl_->prepareFor(opened->place, false); status != ERROR_SUCCESS) {
        return status;
    }
    std::string found;
    if (const Status status = impl_->subkeyAt(*opened, index, found); status != ERROR_SUCCESS) {
        return status;
    }
    return deliverName(found, name, cchName);
}

Status SqliteRegistry::deleteValue(Handle key, const std::string& name) {
    Impl::OpenedKey* opened = impl_->find(key);
    if (opened == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if ((opened->access & KEY_SET_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    if (valueNameTooLong(name)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const Status status = impl_->prepareForDelete(opened->place); status != ERROR_SUCCESS) {
        return status;
    }
    auto& connection = impl_->connection;
    return connection.mutate([&] {
        if (const Status status = impl_->stillThere(opened->place); status != ERROR_SUCCESS) {
            return status;
        }
        Query remove(connection, "DELETE FROM vals WHERE key = ? AND fold = ?");
        const Status status = remove.bind(opened->place.key).bind(foldCp1252(cName(name))).run();
        if (status != ERROR_SUCCESS) {
            return status;
        }
        return connection.changes() > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

Status SqliteRegistry::deleteKey(Handle key, const std::string& subKey) {
    Impl::OpenedKey* opened = impl_->find(key);
    if (opened == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    std::vector<std::string> parts;
    if (const Status status = splitPath(subKey, parts); status != ERROR_SUCCESS) {
        return status;
    }
    if (leadsIntoComputed(opened->place, parts)) {
        return ERROR_ACCESS_DENIED;
    }
    if (const Status status = impl_->prepareForDelete(opened->place); status != ERROR_SUCCESS) {
        return status;
    }
    return impl_->connection.mutate([&] { return impl_->deleteStoredKey(opened->place, parts); });
}

Status SqliteRegistry::runAtomically(const std::function<Status()>& body) {
    return impl_->connection.runAtomically(body);
}

std::unique_ptr<RegistryBackend> makePlatformBackend() {
    SqliteRegistry::Options options;
    options.sysfsRoot = SqliteRegistry::defaultSysfsRoot();
    return std::make_unique<SqliteRegistry>(SqliteRegistry::defaultPath(), std::move(options));
}

} // namespace zeb::reg
