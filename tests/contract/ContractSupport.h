// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The scratch key and readers the contract cases share, on the substitute and on Windows alike.
#pragma once

#include "CRegKey.h"
#include "RegistryProbe.h"

#ifndef _WIN32
#include "ScratchStore.h"
#endif

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace zeb::reg::contract {

// Emptied at both ends: under Wine a run that died half-way leaves nothing for the next to trip on.
class ScratchKey {
public:
    ScratchKey() { removeTree(HKEY_LOCAL_MACHINE, path()); }
    ~ScratchKey() { removeTree(HKEY_LOCAL_MACHINE, path()); }
    static std::string path(const std::string& relative = "") {
        return "SOFTWARE\\ZEBContractTest" + (relative.empty() ? "" : "\\" + relative);
    }

private:
    // Not RecurseDeleteKey, whose buffer holds names of up to 127 characters only.
    static void removeTree(Handle parent, const std::string& name) {
        Handle key = 0;
        if (backend().openKey(parent, name, &key) == 0) {
            for (const std::string& child : probe::namesOf(backend(), key, true)) {
                removeTree(key, child);
            }
            backend().closeKey(key);
            backend().deleteKey(parent, name);
        }
    }
#ifndef _WIN32
    ScratchStore store_; // made before the body runs, so the key is made in it
#endif
};

inline const RegValue UNTOUCHED = std::string("untouched");

// A held key at `relative` below the scratch key, opened or created.
inline CRegKey created(const std::string& relative = "", Dword access = KEY_ALL_ACCESS) {
    CRegKey key;
    EXPECT_EQ(key.Create(HKEY_LOCAL_MACHINE, ScratchKey::path(relative), 0, access), 0);
    return key;
}

// The subkey names in enumeration order, through the operation RecurseDeleteKey uses.
inline std::vector<std::string> subkeysOf(const CRegKey& key) {
    return probe::namesOf(backend(), key.m_hKey, true);
}

// QueryValue with a buffer of `size` bytes: its code, the caller's value and the size told.
using Answer = std::tuple<Status, RegValue, Dword>;
inline Answer queried(CRegKey& key, const std::string& name, Dword size = DEFAULT_BUFFER_SIZE) {
    RegValue value = UNTOUCHED;
    Dword type = REG_NONE;
    return {key.QueryValue(name, type, value, size), value, size}; // evaluated left to right
}

inline std::string textAt(CRegKey& key, const std::string& name) {
    const auto [status, value, size] = queried(key, name);
    return status == 0 ? textOf(value) : "<code " + std::to_string(status) + ">";
}

} // namespace zeb::reg::contract
