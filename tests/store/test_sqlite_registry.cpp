// The registry substitute where it goes beyond the contract suite (tests/contract, which runs on
// the substitute too): handles the platform never hands out, buffers CRegKey never passes, walks
// over a changing key, atomic groups of changes, and CRegKey over a store that fails on purpose.
#include "CRegKey.h"
#include "ForwardingBackend.h"
#include "RegistryProbe.h"
#include "SqliteRegistry.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace zeb::reg;
using namespace probe;
using Names = std::vector<std::string>;

TEST(SqliteRegistry, HandleCodes) {
    SqliteRegistry reg(":memory:");
    EXPECT_EQ(reg.closeKey(0x12345), ERROR_INVALID_HANDLE);
    EXPECT_EQ(setText(reg, HKEY_LOCAL_MACHINE, "AtRoot", "x"), ERROR_SUCCESS);
    // HKEY_LOCAL_MACHINE is the only root: HKEY_CURRENT_USER is no handle here.
    Handle handle = 1;
    EXPECT_EQ(reg.openKey(0x80000001u, "SOFTWARE", &handle), ERROR_INVALID_HANDLE);
    EXPECT_EQ(handle, 0u);

    // A path with an empty part inside is a bad path.
    EXPECT_EQ(reg.createKey(HKEY_LOCAL_MACHINE, "A\\\\B", 0, KEY_ALL_ACCESS, &handle),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(handle, 0u);
}

// A tree is as deep as the platform documents and no deeper (Wine sets no limit, so the code is
// the substitute's own: the one for a name too long).
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
    EXPECT_EQ(reg.createKey(deepest, "below", 0, KEY_ALL_ACCESS, &handle), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(reg.createKey(HKEY_LOCAL_MACHINE, pathOf(MAX_TREE_DEPTH + 1) + "\\x", 0,
                            KEY_ALL_ACCESS, &handle),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(reg.createKey(HKEY_LOCAL_MACHINE, "fresh\\" + pathOf(MAX_TREE_DEPTH), 0,
                            KEY_ALL_ACCESS, &handle),
              ERROR_INVALID_PARAMETER);
    // Nothing of a refused path was created.
    EXPECT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "fresh", &handle), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(subkeyNames(reg, deepest), Names{});
}

// (The room a subkey name needs for its NUL is the contract suite's RecurseDeleteKey case.)
TEST(SqliteRegistry, BuffersCRegKeyNeverPasses) {
    SqliteRegistry reg(":memory:");
    const Handle key = create(reg, "SOFTWARE\\Sizes");
    ASSERT_EQ(setText(reg, key, "Name", "abcdef"), ERROR_SUCCESS);
    // A buffer without its size, or a size without its buffer, is a bad parameter.
    unsigned char data[8];
    EXPECT_EQ(reg.queryValue(key, "Name", nullptr, data, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(reg.setValue(key, "Bad", REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
}

TEST(SqliteRegistry, DeletingKeysTheContractDoesNotReach) {
    SqliteRegistry reg(":memory:");
    const Handle hosts = create(reg, "SOFTWARE\\Hosts");
    const Handle host = create(reg, "SOFTWARE\\Hosts\\one\\inner");
    EXPECT_EQ(reg.deleteKey(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteKey(hosts, "ONE\\INNER"), ERROR_SUCCESS);
    // A handle whose key was deleted answers 1018 to a subkey walk too, and still closes.
    char name[16];
    Dword size = sizeof name;
    EXPECT_EQ(reg.enumKey(host, 0, name, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(reg.closeKey(host), ERROR_SUCCESS);
    // An empty subkey path deletes the handle's own key.
    EXPECT_EQ(reg.deleteKey(create(reg, "SOFTWARE\\Hosts\\one\\inner"), ""), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(reg, hosts), Names{"one"});
}

TEST(SqliteRegistry, RunAtomicallyKeepsAllOrNothing) {
    SqliteRegistry reg(":memory:");
    const Handle key = create(reg, "SOFTWARE\\Import");
    ASSERT_EQ(setText(reg, key, "Before", "0"), ERROR_SUCCESS);
    const Status failed = reg.runAtomically([&] {
        EXPECT_EQ(setText(reg, key, "A", "1"), ERROR_SUCCESS);
        EXPECT_NE(create(reg, "SOFTWARE\\Import\\Sub"), 0u);
        EXPECT_EQ(reg.deleteValue(key, "Before"), ERROR_SUCCESS);
        return ERROR_INVALID_PARAMETER;
    });
    EXPECT_EQ(failed, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(valueNames(reg, key), Names{"Before"});
    EXPECT_EQ(subkeyNames(reg, key), Names{});

    // A change that fails inside the group undoes only itself; the group still commits.
    const Handle sub = create(reg, "SOFTWARE\\Import\\Sub\\Deeper");
    const Status kept = reg.runAtomically([&] {
        EXPECT_EQ(setText(reg, key, "A", "1"), ERROR_SUCCESS);
        EXPECT_EQ(reg.deleteKey(key, "Sub"), ERROR_ACCESS_DENIED);
        return reg.runAtomically([&] { return setText(reg, sub, "B", "2"); });
    });
    EXPECT_EQ(kept, ERROR_SUCCESS);
    EXPECT_EQ(valueNames(reg, key), (Names{"Before", "A"}));
    EXPECT_EQ(text(reg, sub, "B"), "2");

    // An exception leaves the group rolled back and the store ready for the next one.
    EXPECT_THROW(reg.runAtomically([&]() -> Status {
        EXPECT_EQ(setText(reg, key, "Thrown", "1"), ERROR_SUCCESS);
        throw std::runtime_error("caller's failure");
    }),
                 std::runtime_error);
    EXPECT_EQ(text(reg, key, "Thrown"), "<code 2>");
    EXPECT_EQ(reg.runAtomically([&] { return setText(reg, key, "After", "1"); }), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(reg, key), (Names{"Before", "A", "After"}));
}

TEST(SqliteRegistry, LongWalksSeeEveryValueAndFollowChanges) {
    SqliteRegistry reg(":memory:");
    const Handle key = create(reg, "SOFTWARE\\Long");
    constexpr int COUNT = 300; // several chunks of rows read ahead
    Names expected;
    ASSERT_EQ(reg.runAtomically([&] {
        Status status = ERROR_SUCCESS;
        for (int n = 0; n < COUNT && status == ERROR_SUCCESS; ++n) {
            expected.push_back("v" + std::to_string(n));
            status = setText(reg, key, expected.back(), std::to_string(n));
        }
        return status;
    }),
              ERROR_SUCCESS);
    EXPECT_EQ(valueNames(reg, key), expected);

    // Our own change in mid-walk shows at once: deleting v11 moves v12 to index 11.
    ASSERT_EQ(valueNameAt(reg, key, 10), "v10");
    ASSERT_EQ(reg.deleteValue(key, "v11"), ERROR_SUCCESS);
    EXPECT_EQ(valueNameAt(reg, key, 11), "v12");

    EXPECT_EQ(valueNames(reg, key).size(), static_cast<std::size_t>(COUNT - 1));
    EXPECT_EQ(valueNameAt(reg, key, COUNT - 1), "<code 259>");
    // A value deleted and written again is a new value: it goes last.
    ASSERT_EQ(setText(reg, key, "V11", "again"), ERROR_SUCCESS);
    EXPECT_EQ(valueNameAt(reg, key, COUNT - 1), "V11");

    // Read at once, the values are what the walk tells of them, in its order; a gone key is gone.
    const auto summarised = [&reg, key](bool byWalk) {
        std::vector<RegistryBackend::ValueSummary> values;
        const Status status = byWalk ? reg.RegistryBackend::valueSummaries(key, values)
                                     : reg.valueSummaries(key, values);
        std::string shown = std::to_string(status);
        for (const auto& value : values) {
            shown += ";" + value.name + "/" + std::to_string(value.type) + "/" +
                     std::to_string(value.size);
        }
        return shown;
    };
    EXPECT_EQ(summarised(false), summarised(true));
    EXPECT_TRUE(summarised(false).starts_with("0;v0/1/2;v1/1/2;v2/1/2;"));
    EXPECT_TRUE(summarised(false).ends_with(";v299/1/4;V11/1/6"));
    ASSERT_EQ(reg.deleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Long"), ERROR_SUCCESS);
    EXPECT_EQ(summarised(false), "1018");
    EXPECT_EQ(summarised(true), "1018");
}

namespace {

// A store that refuses to delete one key name, to see a recursive delete stop half-way.
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
    // A went first and stays deleted, as does B1; nothing after the refusal was touched.
    EXPECT_EQ(subkeyNames(backend(), create(backend(), "SOFTWARE\\Top")), (Names{"B", "C"}));
    EXPECT_EQ(subkeyNames(backend(), create(backend(), "SOFTWARE\\Top\\B")), Names{"B2"});
    parent.CloseKey();
}
