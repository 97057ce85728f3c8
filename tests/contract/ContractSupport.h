// The held keys the contract cases make below the scratch key and the readers they check them
// with, all through CRegKey or the registry operations, so they serve either registry.
#pragma once

#include "CRegKey.h"
#include "ScratchKey.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

namespace contract {

using namespace zeb::reg;

inline const RegValue UNTOUCHED = std::string("untouched");

// A held key at `relative` below the scratch key, opened or created for the test.
inline CRegKey created(const std::string& relative = "", Dword access = KEY_ALL_ACCESS) {
    CRegKey key;
    EXPECT_EQ(key.Create(HKEY_LOCAL_MACHINE, ScratchKey::path(relative), 0, access), 0);
    return key;
}

// The scratch key itself, held, with the given subkeys made below it.
inline CRegKey withSubkeys(std::initializer_list<const char*> names) {
    CRegKey key = created();
    for (const char* name : names) {
        CRegKey sub;
        EXPECT_EQ(sub.Create(key.m_hKey, name), 0);
        sub.CloseKey();
    }
    return key;
}

// Whether `relative` below the scratch key exists.
inline bool exists(const std::string& relative) {
    CRegKey key;
    const bool found = key.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path(relative)) == 0;
    key.CloseKey();
    return found;
}

// The subkey names of a held key, in enumeration order (the operation RecurseDeleteKey uses).
inline std::vector<std::string> subkeysOf(const CRegKey& key) {
    std::vector<std::string> names;
    for (Dword index = 0;; ++index) {
        char name[256];
        Dword size = sizeof name;
        if (backend().enumKey(key.m_hKey, index, name, &size) != 0) {
            return names;
        }
        names.emplace_back(name, size);
    }
}

// The value names of a held key through EnumValue, in enumeration order.
inline std::vector<std::string> valuesOf(CRegKey& key) {
    std::vector<std::string> names;
    for (Dword index = 0;; ++index) {
        std::string name;
        Dword type = REG_SZ;
        RegValue value;
        if (key.EnumValue(index, name, type, value) != 0) {
            return names;
        }
        names.push_back(name);
    }
}

inline Dword unusedType = REG_NONE;

// What QueryValue answers from a buffer of `size` bytes: its code, the value it left in the
// caller's variable and the size it told; `type` gets the type it told.
using Answer = std::tuple<Status, RegValue, Dword>;
inline Answer queried(CRegKey& key, const std::string& name, Dword size = DEFAULT_BUFFER_SIZE,
                      Dword& type = unusedType) {
    RegValue value = UNTOUCHED;
    const Status status = key.QueryValue(name, type, value, size);
    return {status, value, size};
}

// What EnumValue answers at `index` with both buffers of the default size: its code, the name and
// value it left, and the name's and data's sizes it told; `type` as for queried().
using Listed = std::tuple<Status, std::string, RegValue, Dword, Dword>;
inline Listed listed(CRegKey& key, Dword index, Dword& type = unusedType) {
    Listed answer{0, "untouched", UNTOUCHED, DEFAULT_BUFFER_SIZE, DEFAULT_BUFFER_SIZE};
    auto& [status, name, value, nameSize, valueSize] = answer;
    status = key.EnumValue(index, name, type, value, nameSize, valueSize);
    return answer;
}

// The text a held key stores under `name`, or "<code N>" when QueryValue fails.
inline std::string textAt(CRegKey& key, const std::string& name) {
    const auto [status, value, size] = queried(key, name);
    return status == 0 ? textOf(value) : "<code " + std::to_string(status) + ">";
}

// EnumValue at `index` fails with `code` and leaves the caller's name and value as they were.
inline void expectListingRefused(CRegKey& key, Dword index, Status code) {
    const Listed answer = listed(key, index);
    EXPECT_EQ(std::get<0>(answer), code) << "index " << index;
    EXPECT_EQ(std::get<1>(answer), "untouched");
    EXPECT_EQ(std::get<2>(answer), UNTOUCHED);
}

// Both ways of reading a held key fail with `code` and leave the caller's name and value as they
// were: by name (QueryValue of `name`) and by position (EnumValue of index 0).
inline void expectReadsRefused(CRegKey& key, const std::string& name, Status code) {
    const Answer byName = queried(key, name);
    EXPECT_EQ(std::get<0>(byName), code);
    EXPECT_EQ(std::get<1>(byName), UNTOUCHED);
    expectListingRefused(key, 0, code);
}

} // namespace contract
