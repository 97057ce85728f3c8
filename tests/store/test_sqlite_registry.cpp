// The registry substitute where it goes beyond the contract suite (tests/contract, which runs on
// it too): handles and buffers CRegKey never passes, depth, walks, atomic groups.
#include "CRegKey.h"
#include "ForwardingBackend.h"
#include "RegistryProbe.h"
#include "SqliteRegistry.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace zeb::reg;
using namespace probe;
using Names = std::vector<std::string>;

TEST(SqliteRegistry, HandlesBuffersAndDeletesTheContractDoesNotReach) {
    SqliteRegistry reg(":memory:");
    EXPECT_EQ(reg.closeKey(0x12345), ERROR_INVALID_HANDLE);
    Handle handle = 1;
    EXPECT_EQ(reg.openKey(0x80000001u, "SOFTWARE", &handle), ERROR_INVALID_HANDLE); // HKCU
    EXPECT_EQ(handle, 0u);
    const Handle hosts = create(reg, "SOFTWARE\\Hosts");
    ASSERT_EQ(setText(reg, hosts, "Name", "abcdef"), ERROR_SUCCESS);
    unsigned char data[8];
    EXPECT_EQ(reg.queryValue(hosts, "Name", nullptr, data, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(reg.setValue(hosts, "Bad", REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);

    const Handle host = create(reg, "SOFTWARE\\Hosts\\one\\inner");
    EXPECT_EQ(reg.deleteKey(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteKey(hosts, "ONE\\INNER"), ERROR_SUCCESS);
    char name[16];
    Dword size = sizeof name;
    EXPECT_EQ(reg.enumKey(host, 0, name, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(reg.closeKey(host), ERROR_SUCCESS);
    // An empty subkey path deletes the handle's own key.
    EXPECT_EQ(reg.deleteKey(create(reg, "SOFTWARE\\Hosts\\one\\inner"), ""), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(reg, hosts), Names{"one"});
}

// As deep as the platform documents and no deeper; Wine sets no limit, so the code is our own.
TEST(SqliteRegistry, TreesEndAtTheDocumentedDepth) {
    SqliteRegistry reg(":memory:");
    const auto pathOf = [](std::size_t depth) {
        std::string path = "d";
        for (std::size_t level = 1; level < depth; ++level) {
            path += "\\d";
        }
        return path;
    };
    const Handle deepest = create(reg, pathOf(MAX_TREE_DEPTH));
    ASSERT_NE(deepest, 0u);
    Handle handle = 1;
    for (const auto& [start, path] :
         {std::pair{deepest, std::string("below")},
          std::pair{HKEY_LOCAL_MACHINE, pathOf(MAX_TREE_DEPTH + 1) + "\\x"},
          std::pair{HKEY_LOCAL_MACHINE, "fresh\\" + pathOf(MAX_TREE_DEPTH)}}) {
        EXPECT_EQ(reg.createKey(start, path, 0, KEY_ALL_ACCESS, &handle), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "fresh", &handle), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(subkeyNames(reg, deepest), Names{});
}

// All or nothing; a change failing inside the group undoes only itself; an exception rolls back.
TEST(SqliteRegistry, RunAtomicallyKeepsAllOrNothing) {
    SqliteRegistry reg(":memory:");
    const Handle key = create(reg, "SOFTWARE\\Import");
    ASSERT_EQ(setText(reg, key, "Before", "0"), ERROR_SUCCESS);
    EXPECT_EQ(reg.runAtomically([&] {
        EXPECT_EQ(setText(reg, key, "A", "1"), ERROR_SUCCESS);
        EXPECT_NE(create(reg, "SOFTWARE\\Import\\Sub"), 0u);
        EXPECT_EQ(reg.deleteValue(key, "Before"), ERROR_SUCCESS);
        return ERROR_INVALID_PARAMETER;
    }),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(valueNames(reg, key), Names{"Before"});
    EXPECT_EQ(subkeyNames(reg, key), Names{});

    const Handle sub = create(reg, "SOFTWARE\\Import\\Sub\\Deeper");
    EXPECT_EQ(reg.runAtomically([&] {
        EXPECT_EQ(setText(reg, key, "A", "1"), ERROR_SUCCESS);
        EXPECT_EQ(reg.deleteKey(key, "Sub"), ERROR_ACCESS_DENIED);
        return reg.runAtomically([&] { return setText(reg, sub, "B", "2"); });
    }),
              ERROR_SUCCESS);
    EXPECT_EQ(text(reg, sub, "B"), "2");

    EXPECT_THROW(reg.runAtomically([&]() -> Status {
        EXPECT_EQ(setText(reg, key, "Thrown", "1"), ERROR_SUCCESS);
        throw std::runtime_error("caller's failure");
    }),
                 std::runtime_error);
    EXPECT_EQ(reg.runAtomically([&] { return setText(reg, key, "After", "1"); }), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(reg, key), (Names{"Before", "A", "After"}));
}

// Several chunks of rows read ahead; our own change in mid-walk shows at once.
TEST(SqliteRegistry, LongWalksSeeEveryValueAndFollowChanges) {
    SqliteRegistry reg(":memory:");
    const Handle key = create(reg, "SOFTWARE\\Long");
    Names expected;
    for (int n = 0; n < 300; ++n) {
        expected.push_back("v" + std::to_string(n));
        ASSERT_EQ(setText(reg, key, expected.back(), "x"), ERROR_SUCCESS);
    }
    EXPECT_EQ(valueNames(reg, key), expected);
    ASSERT_EQ(valueNameAt(reg, key, 10), "v10");
    ASSERT_EQ(reg.deleteValue(key, "v11"), ERROR_SUCCESS);
    EXPECT_EQ(valueNameAt(reg, key, 11), "v12");
    EXPECT_EQ(valueNameAt(reg, key, 299), "<code 259>");
    ASSERT_EQ(setText(reg, key, "V11", "again"), ERROR_SUCCESS); // a new value: it goes last
    EXPECT_EQ(valueNameAt(reg, key, 299), "V11");
}

namespace {

struct RefusingDelete : ForwardingBackend {
    Status deleteKey(Handle key, const std::string& subKey) override {
        return subKey == "B2" ? ERROR_ACCESS_DENIED : ForwardingBackend::deleteKey(key, subKey);
    }
};

} // namespace

TEST(SqliteRegistry, CRegKeyRecurseDeleteKeyStopsAtTheFirstFailure) {
    BackendScope<RefusingDelete> store;
    for (const char* path : {"A\\A1", "B\\B1", "B\\B2", "C"}) {
        create(backend(), std::string("SOFTWARE\\Top\\") + path);
    }
    CRegKey parent;
    ASSERT_EQ(parent.Create(HKEY_LOCAL_MACHINE, "SOFTWARE"), 0);
    EXPECT_EQ(parent.RecurseDeleteKey("Top"), ERROR_ACCESS_DENIED);
    // A and B1 went before the refusal and stay deleted; C was not touched.
    EXPECT_EQ(subkeyNames(backend(), create(backend(), "SOFTWARE\\Top")), (Names{"B", "C"}));
    EXPECT_EQ(subkeyNames(backend(), create(backend(), "SOFTWARE\\Top\\B")), Names{"B2"});
    parent.CloseKey();
}
