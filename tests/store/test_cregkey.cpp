// CRegKey over a store that fails on purpose, which only the substitute can be made to do. What
// CRegKey promises on any registry is the contract suite's (tests/contract), run on the substitute
// and on the platform registry alike.
#include "CRegKey.h"
#include "ForwardingBackend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zeb::reg;

namespace {

constexpr const char* KEY = "SOFTWARE\\Test";

// A held key below HKEY_LOCAL_MACHINE, created for the test.
CRegKey createdKey(const std::string& path = KEY) {
    CRegKey key;
    EXPECT_EQ(key.Create(HKEY_LOCAL_MACHINE, path), 0);
    return key;
}

// Lists the subkeys of `path` through the back end; empty when it cannot be opened.
std::vector<std::string> subkeysOf(const std::string& path) {
    CRegKey key;
    std::vector<std::string> names;
    if (key.OpenKey(HKEY_LOCAL_MACHINE, path) != 0) {
        return names;
    }
    for (Dword index = 0;; ++index) {
        char name[256];
        Dword size = sizeof name;
        if (backend().enumKey(key.m_hKey, index, name, &size) != 0) {
            break;
        }
        names.emplace_back(name, size);
    }
    key.CloseKey();
    return names;
}

// A store that refuses to delete one key name, to see a recursive delete stop half-way.
class RefusingDelete : public ForwardingBackend {
public:
    Status deleteKey(Handle key, const std::string& subKey) override {
        return subKey == "B2" ? ERROR_ACCESS_DENIED : ForwardingBackend::deleteKey(key, subKey);
    }
};

} // namespace

TEST(CRegKey, RecurseDeleteKeyStopsAtTheFirstFailure) {
    BackendScope<RefusingDelete> store;
    for (const char* path : {"\\Top\\A\\A1", "\\Top\\B\\B1", "\\Top\\B\\B2", "\\Top\\C"}) {
        createdKey(KEY + std::string(path)).CloseKey();
    }
    CRegKey parent = createdKey();
    EXPECT_EQ(parent.RecurseDeleteKey("Top"), ERROR_ACCESS_DENIED);
    // A went first and stays deleted, as does B1; nothing after the refusal was touched.
    EXPECT_EQ(subkeysOf(std::string(KEY) + "\\Top"), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(subkeysOf(std::string(KEY) + "\\Top\\B"), std::vector<std::string>{"B2"});
    parent.CloseKey();
}
