// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Readers and writers over a back end for store tests; a failure reads "<code N>".
#pragma once

#include "RegistryBackend.h"

#include <string>
#include <vector>

namespace zeb::reg::probe {

// `path` below HKEY_LOCAL_MACHINE, created or opened, or opened only; 0 when that failed.
inline Handle create(RegistryBackend& reg, const std::string& path) {
    Handle handle = 0;
    reg.createKey(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &handle);
    return handle;
}

inline Handle opened(RegistryBackend& reg, const std::string& path) {
    Handle handle = 0;
    reg.openKey(HKEY_LOCAL_MACHINE, path, &handle);
    return handle;
}

inline Status setBytes(RegistryBackend& reg, Handle key, const std::string& name, Dword type,
                       const std::string& data) {
    return reg.setValue(key, name, type, reinterpret_cast<const unsigned char*>(data.data()),
                        static_cast<Dword>(data.size()));
}

inline Status setText(RegistryBackend& reg, Handle key, const std::string& name,
                      const std::string& text) {
    return setBytes(reg, key, name, REG_SZ, text + '\0');
}

// A REG_SZ value's text without its NUL.
inline std::string text(RegistryBackend& reg, Handle key, const std::string& name) {
    unsigned char data[1024];
    Dword size = sizeof data;
    const Status status = reg.queryValue(key, name, nullptr, data, &size);
    return status != ERROR_SUCCESS
               ? "<code " + std::to_string(status) + ">"
               : std::string(reinterpret_cast<char*>(data), size ? size - 1 : 0);
}

inline std::string valueNameAt(RegistryBackend& reg, Handle key, Dword index) {
    char name[1024];
    Dword size = sizeof name;
    const Status code = reg.enumValue(key, index, name, &size, nullptr, nullptr, nullptr);
    return code == ERROR_SUCCESS ? std::string(name, size) : "<code " + std::to_string(code) + ">";
}

// Value (or `subkeys`: subkey) names in enumeration order, up to the first failure.
inline std::vector<std::string> namesOf(RegistryBackend& reg, Handle key, bool subkeys = false) {
    std::vector<std::string> names;
    for (Dword index = 0;; ++index) {
        char name[1024];
        Dword size = sizeof name;
        if (subkeys ? reg.enumKey(key, index, name, &size) != ERROR_SUCCESS
                    : reg.enumValue(key, index, name, &size, nullptr, nullptr, nullptr) != 0) {
            return names;
        }
        names.emplace_back(name, size);
    }
}

// The code of each way to change the store: create, set, delete value, delete key, atomic block.
inline std::vector<Status> writeCodes(RegistryBackend& reg) {
    Handle handle = 0;
    return {reg.createKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", 0, KEY_ALL_ACCESS, &handle),
            setText(reg, HKEY_LOCAL_MACHINE, "V", "x"), reg.deleteValue(HKEY_LOCAL_MACHINE, "V"),
            reg.deleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE"),
            reg.runAtomically([] { return ERROR_SUCCESS; })};
}

} // namespace zeb::reg::probe
