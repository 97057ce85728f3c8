// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The platform back end: the registry operations passed straight to the ANSI registry functions of
// advapi32. Built on Windows only (store/CMakeLists.txt builds this folder there alone).
#include "RegistryBackend.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zeb::reg {

namespace {

// Registry handles are 32-bit values, sign-extended in a 64-bit process (HKEY_LOCAL_MACHINE is
// 0x80000002 as a LONG), so the conversion goes through int32_t both ways.
HKEY toHkey(Handle handle) {
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(handle)));
}

Handle toHandle(HKEY hkey) {
    return static_cast<Handle>(reinterpret_cast<std::uintptr_t>(hkey));
}

// Dword is uint32_t, DWORD is unsigned long: same size on Windows, different types. An optional
// in/out size goes through a DWORD of its own and is copied back after the call.
class DwordArg {
public:
    explicit DwordArg(Dword* outer) : outer_(outer), value_(outer != nullptr ? *outer : 0) {}
    ~DwordArg() {
        if (outer_ != nullptr) {
            *outer_ = static_cast<Dword>(value_);
        }
    }
    DwordArg(const DwordArg&) = delete;
    DwordArg& operator=(const DwordArg&) = delete;
    LPDWORD get() { return outer_ != nullptr ? &value_ : nullptr; }

private:
    Dword* outer_;
    DWORD value_;
};

// A value as it stood before a group changed it, to be written back if the group fails.
struct NotedValue {
    DWORD type = 0;
    std::vector<unsigned char> data;
};

std::string joined(const std::string& path, const std::string& subKey) {
    if (subKey.empty()) {
        return path;
    }
    return path.empty() ? subKey : path + "\\" + subKey;
}

// Opens `path` below HKEY_LOCAL_MACHINE with `access`; null when that fails.
HKEY openPath(const std::string& path, REGSAM access) {
    HKEY key = nullptr;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key) == ERROR_SUCCESS
               ? key
               : nullptr;
}

// The value `name` of `key`, or nullopt when it is not there (or cannot be read).
std::optional<NotedValue> readValue(HKEY key, const std::string& name) {
    NotedValue value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, value.data.data(), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

std::optional<NotedValue> readValueAt(const std::string& path, const std::string& name) {
    HKEY key = openPath(path, KEY_QUERY_VALUE);
    if (key == nullptr) {
        return std::nullopt;
    }
    auto value = readValue(key, name);
    RegCloseKey(key);
    return value;
}

// Every value of the key at `path`, in enumeration order.
std::vector<std::pair<std::string, NotedValue>> readAllValues(const std::string& path) {
    std::vector<std::pair<std::string, NotedValue>> values;
    HKEY key = openPath(path, KEY_QUERY_VALUE);
    if (key == nullptr) {
        return values;
    }
    std::vector<char> name(MAX_VALUE_NAME_LENGTH + 1);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumValueA(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        std::string valueName(name.data(), length);
        if (auto value = readValue(key, valueName)) {
            values.emplace_back(std::move(valueName), std::move(*value));
        }
    }
    RegCloseKey(key);
    return values;
}

void writeValueAt(const std::string& path, const std::string& name, const NotedValue& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, name.c_str(), 0, value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
        RegCloseKey(key);
    }
}

// Puts the value `name` at `path` back as `before` says: rewritten, or deleted when it was absent.
void restoreValue(const std::string& path, const std::string& name,
                  const std::optional<NotedValue>& before) {
    if (before) {
        writeValueAt(path, name, *before);
        return;
    }
    if (HKEY key = openPath(path, KEY_SET_VALUE); key != nullptr) {
        RegDeleteValueA(key, name.c_str());
        RegCloseKey(key);
    }
}

// The keys a create of `path` would make, deepest last: every level from the first missing one.
std::vector<std::string> missingLevels(const std::string& path) {
    std::vector<std::string> missing;
    for (std::size_t end = 0; end != std::string::npos;) {
        end = path.find('\\', end + 1);
        const std::string level = path.substr(0, end);
        if (!missing.empty()) {
            missing.push_back(level);
        } else if (HKEY key = openPath(level, KEY_QUERY_VALUE); key != nullptr) {
            RegCloseKey(key);
        } else {
            missing.push_back(level);
        }
    }
    return missing;
}

// windows.h makes HKEY_LOCAL_MACHINE a macro of type HKEY; this is the same key as a Handle.
Handle rootHandle() {
    return toHandle(HKEY_LOCAL_MACHINE);
}

class Win32Registry final : public RegistryBackend {
public:
    explicit Win32Registry(bool readOnly) : readOnly_(readOnly) { paths_[rootHandle()] = ""; }

    Status openKey(Handle parent, const std::string& subKey, Handle* result) override {
        HKEY opened = nullptr;
        const LONG status =
            readOnly_ ? RegOpenKeyExA(toHkey(parent), subKey.c_str(), 0, KEY_READ, &opened)
                      : RegOpenKeyA(toHkey(parent), subKey.c_str(), &opened);
        *result = status == ERROR_SUCCESS ? toHandle(opened) : 0;
        remember(status, parent, subKey, *result);
        return status;
    }

    Status createKey(Handle parent, const std::string& subKey, Dword options, Dword samDesired,
                     Handle* result) override {
        if (readOnly_) {
            // A reader may open what exists; creating is a write.
            const Status status = openKey(parent, subKey, result);
            return status == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : status;
        }
        const std::vector<std::string> created =
            grouping() ? missingLevels(joined(pathOf(parent), subKey)) : std::vector<std::string>{};
        HKEY opened = nullptr;
        const LONG status = RegCreateKeyExA(toHkey(parent), subKey.c_str(), 0, nullptr, options,
                                            samDesired, nullptr, &opened, nullptr);
        *result = status == ERROR_SUCCESS ? toHandle(opened) : 0;
        remember(status, parent, subKey, *result);
        if (status == ERROR_SUCCESS && !created.empty()) {
            note([created] {
                for (auto level = created.rbegin(); level != created.rend(); ++level) {
                    RegDeleteKeyA(HKEY_LOCAL_MACHINE, level->c_str());
                }
            });
        }
        return status;
    }

    Status closeKey(Handle key) override {
        const LONG status = RegCloseKey(toHkey(key));
        if (status == ERROR_SUCCESS && key != rootHandle()) {
            paths_.erase(key);
        }
        return status;
    }

    Status queryValue(Handle key, const std::string& name, Dword* type, unsigned char* data,
                      Dword* cbData) override {
        DwordArg typeArg(type);
        DwordArg sizeArg(cbData);
        return RegQueryValueExA(toHkey(key), name.c_str(), nullptr, typeArg.get(), data,
                                sizeArg.get());
    }

    Status setValue(Handle key, const std::string& name, Dword type, const unsigned char* data,
                    Dword cbData) override {
        if (readOnly_) {
            return ERROR_ACCESS_DENIED;
        }
        return noting(pathOf(key), name, [&] {
            return RegSetValueExA(toHkey(key), name.c_str(), 0, type, data, cbData);
        });
    }

    Status enumValue(Handle key, Dword index, char* name, Dword* cchName, Dword* type,
                     unsigned char* data, Dword* cbData) override {
        DwordArg nameArg(cchName);
        DwordArg typeArg(type);
        DwordArg sizeArg(cbData);
        return RegEnumValueA(toHkey(key), index, name, nameArg.get(), nullptr, typeArg.get(), data,
                             sizeArg.get());
    }

    Status enumKey(Handle key, Dword index, char* name, Dword* cchName) override {
        DwordArg nameArg(cchName);
        FILETIME lastWrite{};
        return RegEnumKeyExA(toHkey(key), index, name, nameArg.get(), nullptr, nullptr, nullptr,
                             &lastWrite);
    }

    Status deleteValue(Handle key, const std::string& name) override {
        if (readOnly_) {
            return ERROR_ACCESS_DENIED;
        }
        return noting(pathOf(key), name,
                      [&] { return RegDeleteValueA(toHkey(key), name.c_str()); });
    }

    Status deleteKey(Handle key, const std::string& subKey) override {
        if (readOnly_) {
            return ERROR_ACCESS_DENIED;
        }
        // Only a key without subkeys can be deleted, so its values are all there is to put back.
        const std::string path = joined(pathOf(key), subKey);
        auto values =
            grouping() ? readAllValues(path) : std::vector<std::pair<std::string, NotedValue>>{};
        const LONG status = RegDeleteKeyA(toHkey(key), subKey.c_str());
        if (status == ERROR_SUCCESS && grouping()) {
            note([path, values = std::move(values)] {
                HKEY recreated = nullptr;
                if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                    nullptr, &recreated, nullptr) == ERROR_SUCCESS) {
                    RegCloseKey(recreated);
                }
                for (const auto& [name, value] : values) {
                    writeValueAt(path, name, value);
                }
            });
        }
        return status;
    }

    // The registry has no transaction ZEB can use, so a group keeps a note of how to put back
    // each change it makes and, when it fails, applies the notes in reverse order. A nested group
    // that fails undoes only its own changes, as the substitute's does.
    Status runAtomically(const std::function<Status()>& body) override {
        const std::size_t mark = undo_.size();
        ++depth_;
        Status status = ERROR_SUCCESS;
        try {
            status = body();
        } catch (...) {
            undoBackTo(mark);
            --depth_;
            throw;
        }
        if (status != ERROR_SUCCESS) {
            undoBackTo(mark);
        }
        if (--depth_ == 0) {
            undo_.clear();
        }
        return status;
    }

private:
    bool readOnly_;
    // The path below HKEY_LOCAL_MACHINE of every handle this back end gave out: an undo note names
    // keys by path, since the handles are closed by the time it runs.
    std::map<Handle, std::string> paths_;
    int depth_ = 0;
    std::vector<std::function<void()>> undo_;

    bool grouping() const { return depth_ > 0; }

    std::string pathOf(Handle key) const {
        const auto known = paths_.find(key);
        return known != paths_.end() ? known->second : std::string();
    }

    void remember(LONG status, Handle parent, const std::string& subKey, Handle opened) {
        if (status == ERROR_SUCCESS && opened != rootHandle()) {
            paths_[opened] = joined(pathOf(parent), subKey);
        }
    }

    void note(std::function<void()> undo) { undo_.push_back(std::move(undo)); }

    // Runs `change` of the value `name` at `path`, noting first what it replaces.
    template <typename Change>
    Status noting(const std::string& path, const std::string& name, Change change) {
        auto before = grouping() ? readValueAt(path, name) : std::nullopt;
        const LONG status = change();
        if (status == ERROR_SUCCESS && grouping()) {
            note([path, name, before = std::move(before)] { restoreValue(path, name, before); });
        }
        return status;
    }

    void undoBackTo(std::size_t mark) {
        while (undo_.size() > mark) {
            undo_.back()();
            undo_.pop_back();
        }
    }
};

} // namespace

std::unique_ptr<RegistryBackend> makePlatformBackend() {
    return std::make_unique<Win32Registry>(false);
}

std::unique_ptr<RegistryBackend> makeReadOnlyPlatformBackend() {
    return std::make_unique<Win32Registry>(true);
}

std::string platformStoreLocation() {
    return "HKEY_LOCAL_MACHINE";
}

} // namespace zeb::reg
