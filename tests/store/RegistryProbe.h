// Small readers, writers and checks over a back end, so store tests state what they check rather
// than how the nine operations are called. Each test makes its own store; nothing here holds state.
#pragma once

#include "RegistryBackend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace probe {

using namespace zeb::reg;

// Creates (or opens) `path` below HKEY_LOCAL_MACHINE; 0 when that failed.
inline Handle create(RegistryBackend& reg, const std::string& path, Dword access = KEY_ALL_ACCESS) {
    Handle handle = 0;
    reg.createKey(HKEY_LOCAL_MACHINE, path, 0, access, &handle);
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

// The text data of a REG_SZ value without its NUL, or "<code N>" when it cannot be read.
inline std::string text(RegistryBackend& reg, Handle key, const std::string& name) {
    unsigned char data[1024];
    Dword size = sizeof data;
    Dword type = REG_NONE;
    const Status status = reg.queryValue(key, name, &type, data, &size);
    if (status != ERROR_SUCCESS) {
        return "<code " + std::to_string(status) + ">";
    }
    return std::string(reinterpret_cast<const char*>(data), size > 0 ? size - 1 : 0);
}

// The name of the value at `index`, or "<code N>" when there is none.
inline std::string valueNameAt(RegistryBackend& reg, Handle key, Dword index) {
    char name[1024];
    Dword size = sizeof name;
    const Status status = reg.enumValue(key, index, name, &size, nullptr, nullptr, nullptr);
    return status == ERROR_SUCCESS ? std::string(name, size)
                                   : "<code " + std::to_string(status) + ">";
}

// The names of a key's values in enumeration order (stops at the first failure).
inline std::vector<std::string> valueNames(RegistryBackend& reg, Handle key) {
    std::vector<std::string> names;
    for (Dword index = 0;; ++index) {
        std::string name = valueNameAt(reg, key, index);
        if (name.starts_with("<code ")) {
            return names;
        }
        names.push_back(std::move(name));
    }
}

// The names of a key's subkeys in enumeration order (stops at the first failure).
inline std::vector<std::string> subkeyNames(RegistryBackend& reg, Handle key) {
    std::vector<std::string> names;
    for (Dword index = 0;; ++index) {
        char name[1024];
        Dword size = sizeof name;
        if (reg.enumKey(key, index, name, &size) != ERROR_SUCCESS) {
            return names;
        }
        names.emplace_back(name, size);
    }
}

// The code of every way a caller can change the store, in this order: create a key, set a value,
// delete a value, delete a key, run an atomic block.
inline std::vector<Status> writeCodes(RegistryBackend& reg) {
    Handle handle = 0;
    return {reg.createKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", 0, KEY_ALL_ACCESS, &handle),
            setText(reg, HKEY_LOCAL_MACHINE, "V", "x"), reg.deleteValue(HKEY_LOCAL_MACHINE, "V"),
            reg.deleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE"),
            reg.runAtomically([] { return ERROR_SUCCESS; })};
}

inline void expectEveryWriteGives(RegistryBackend& reg, Status expected) {
    EXPECT_EQ(writeCodes(reg), std::vector<Status>(5, expected));
}

} // namespace probe
