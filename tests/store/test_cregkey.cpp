// CRegKey over a store that fails on purpose, which only the substitute can be made to do. What
// CRegKey promises on any registry is the contract suite's (tests/contract), run on the substitute
// and on the platform registry alike.
#include "CRegKey.h"
#include "ForwardingBackend.h"
#include "RegistryProbe.h"

#include <gtest/gtest.h>

using namespace zeb::reg;

namespace {

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
    for (const char* path : {"A\\A1", "B\\B1", "B\\B2", "C"}) {
        probe::create(backend(), std::string("SOFTWARE\\Top\\") + path);
    }
    CRegKey parent;
    ASSERT_EQ(parent.Create(HKEY_LOCAL_MACHINE, "SOFTWARE"), 0);
    EXPECT_EQ(parent.RecurseDeleteKey("Top"), ERROR_ACCESS_DENIED);
    // A went first and stays deleted, as does B1; nothing after the refusal was touched.
    const Handle top = probe::create(backend(), "SOFTWARE\\Top");
    EXPECT_EQ(probe::subkeyNames(backend(), top), (std::vector<std::string>{"B", "C"}));
    const Handle b = probe::create(backend(), "SOFTWARE\\Top\\B");
    EXPECT_EQ(probe::subkeyNames(backend(), b), std::vector<std::string>{"B2"});
    parent.CloseKey();
}
