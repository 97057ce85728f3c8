// Readers, writers and checks over a back end, so store tests state what they check rather than
// how the operations are called. Failures read as "<code N>".
#pragma once

#include "RegistryBackend.h"

#include <string>
#include <vector>

namespace probe {

using namespace zeb::reg;

inline std::string codeText(Status status) {
    return "<code " + std::to_string(status) + ">";
}

// `path` below HKEY_LOCAL_MACHINE, created or opened; 0 when that failed.
inline Handle create(RegistryBackend& reg, const std::string& path) {
    Handle handle = 0;
    reg.createKey(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &handle);
    return handle;
}

// `path` below HKEY_LOCAL_MACHINE opened; 0 when that failed.
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
               ? codeText(status)
               : std::string(reinterpret_cast<char*>(data), size ? size - 1 : 0);
}

inline std::string valueNameAt(RegistryBackend& reg, Handle key, Dword index) {
    char name[1024];
    Dword size = sizeof name;
    const Status status = reg.enumValue(key, index, name, &size, nullptr, nullptr, nullptr);
    return status == ERROR_SUCCESS ? std::string(name, size) : codeText(status);
}

// A key's value or (`subkeys`) subkey names in enumeration order, up to the first failure.
inline std::vector<std::string> names(RegistryBackend& reg, Handle key, bool subkeys) {
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
inline std::vector<std::string> valueNames(RegistryBackend& reg, Handle key) {
    return names(reg, key, false);
}
inline std::vector<std::string> subkeyNames(RegistryBackend& reg, Handle key) {
    return names(reg, key, true);
}

// The code of every way to change the store: create a key, set a value, delete a value, delete a
// key, run an atomic block.
inline std::vector<Status> writeCodes(RegistryBackend& reg) {
    Handle handle = 0;
    return {reg.createKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", 0, KEY_ALL_ACCESS, &handle),
            setText(reg, HKEY_LOCAL_MACHINE, "V", "x"), reg.deleteValue(HKEY_LOCAL_MACHINE, "V"),
            reg.deleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE"),
            reg.runAtomically([] { return ERROR_SUCCESS; })};
}

} // namespace probe
