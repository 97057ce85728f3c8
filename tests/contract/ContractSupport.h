// The scratch key a contract case works below, and readers through CRegKey or the registry
// operations, so the same cases serve the substitute and the platform registry.
#pragma once

#include "CRegKey.h"

#ifndef _WIN32
#include "ScratchStore.h"
#endif

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

namespace contract {

using namespace zeb::reg;

// HKEY_LOCAL_MACHINE\SOFTWARE\ZEBContractTest, empty when a case starts and gone when it ends. On
// Linux it lives in a private in-memory store; under Wine it is a real key, so a run that died
// half-way leaves nothing the next run trips over.
class ScratchKey {
public:
    ScratchKey() {
        removeTree();
        CRegKey key;
        EXPECT_EQ(key.Create(HKEY_LOCAL_MACHINE, path()), 0) << "cannot create " << path();
        key.CloseKey();
    }
    ~ScratchKey() { removeTree(); }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    // `relative` below the scratch key, from HKEY_LOCAL_MACHINE.
    static std::string path(const std::string& relative = "") {
        return relative.empty() ? "SOFTWARE\\ZEBContractTest"
                                : "SOFTWARE\\ZEBContractTest\\" + relative;
    }

private:
    static void removeTree() {
        const Status status = removeTree(HKEY_LOCAL_MACHINE, path());
        EXPECT_TRUE(status == 0 || status == ERROR_FILE_NOT_FOUND) << "code " << status;
    }
    // Not RecurseDeleteKey, whose buffer holds names of up to 127 characters only.
    static Status removeTree(Handle parent, const std::string& name) {
        Handle key = 0;
        Status status = backend().openKey(parent, name, &key);
        while (status == 0) {
            char child[256];
            Dword size = sizeof child;
            status = backend().enumKey(key, 0, child, &size);
            status = status == 0 ? removeTree(key, std::string(child, size)) : status;
        }
        if (key != 0) {
            backend().closeKey(key);
        }
        return status == ERROR_NO_MORE_ITEMS ? backend().deleteKey(parent, name) : status;
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

inline CRegKey withSubkeys(std::initializer_list<const char*> names) {
    CRegKey key = created();
    for (const char* name : names) {
        CRegKey sub;
        EXPECT_EQ(sub.Create(key.m_hKey, name), 0);
        sub.CloseKey();
    }
    return key;
}

inline bool exists(const std::string& relative) {
    CRegKey key;
    const bool found = key.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path(relative)) == 0;
    key.CloseKey();
    return found;
}

// The subkey names in enumeration order, through the operation RecurseDeleteKey uses.
inline std::vector<std::string> subkeysOf(const CRegKey& key) {
    std::vector<std::string> names;
    char name[256];
    for (Dword index = 0, size = sizeof name;
         backend().enumKey(key.m_hKey, index, name, &size) == 0; ++index, size = sizeof name) {
        names.emplace_back(name, size);
    }
    return names;
}

// The value names in enumeration order, through EnumValue.
inline std::vector<std::string> valuesOf(CRegKey& key) {
    std::vector<std::string> names;
    std::string name;
    Dword type = REG_SZ;
    RegValue value;
    for (Dword index = 0; key.EnumValue(index, name, type, value) == 0; ++index) {
        names.push_back(name);
    }
    return names;
}

inline Dword unusedType = REG_NONE;

// QueryValue from a buffer of `size` bytes: its code, the caller's value after it and the size it
// told; `type` gets the type it told.
using Answer = std::tuple<Status, RegValue, Dword>;
inline Answer queried(CRegKey& key, const std::string& name, Dword size = DEFAULT_BUFFER_SIZE,
                      Dword& type = unusedType) {
    RegValue value = UNTOUCHED;
    const Status status = key.QueryValue(name, type, value, size);
    return {status, value, size};
}

// EnumValue at `index` with both buffers of the default size: its code, the caller's name and
// value after it, and the name's and data's sizes it told.
using Listed = std::tuple<Status, std::string, RegValue, Dword, Dword>;
inline Listed listed(CRegKey& key, Dword index, Dword& type = unusedType) {
    Listed answer{0, "untouched", UNTOUCHED, DEFAULT_BUFFER_SIZE, DEFAULT_BUFFER_SIZE};
    auto& [status, name, value, nameSize, valueSize] = answer;
    status = key.EnumValue(index, name, type, value, nameSize, valueSize);
    return answer;
}

inline std::string textAt(CRegKey& key, const std::string& name) {
    const auto [status, value, size] = queried(key, name);
    return status == 0 ? textOf(value) : "<code " + std::to_string(status) + ">";
}

// EnumValue at `index` fails with `code`, the caller's name and value untouched.
inline void expectListingRefused(CRegKey& key, Dword index, Status code) {
    const Listed answer = listed(key, index);
    EXPECT_EQ(std::get<0>(answer), code) << "index " << index;
    EXPECT_EQ(std::get<1>(answer), "untouched");
    EXPECT_EQ(std::get<2>(answer), UNTOUCHED);
}

// Reading by name and by position (index 0) fail with `code`, the caller's variables untouched.
inline void expectReadsRefused(CRegKey& key, const std::string& name, Status code) {
    const Answer byName = queried(key, name);
    EXPECT_EQ(std::get<0>(byName), code);
    EXPECT_EQ(std::get<1>(byName), UNTOUCHED);
    expectListingRefused(key, 0, code);
}

} // namespace contract
