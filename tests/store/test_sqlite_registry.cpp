// The registry substitute's contract on an in-memory store: codes, name rules, case folding,
// enumeration order, access masks, deleted keys and atomic groups of changes.
#include "RegistryProbe.h"
#include "SqliteRegistry.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

using namespace zeb::reg;
using namespace probe;
using Names = std::vector<std::string>;

TEST(SqliteRegistry, HandleCodes) {
    SqliteRegistry reg(":memory:");
    EXPECT_EQ(reg.closeKey(0), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg.closeKey(0x12345), ERROR_INVALID_HANDLE);
    // The root is predefined: closing it succeeds and leaves it usable.
    EXPECT_EQ(reg.closeKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(reg.closeKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(setText(reg, HKEY_LOCAL_MACHINE, "AtRoot", "x"), ERROR_SUCCESS);
    // HKEY_LOCAL_MACHINE is the only root: HKEY_CURRENT_USER is no handle here.
    Handle user = 0;
    EXPECT_EQ(reg.openKey(0x80000001u, "SOFTWARE", &user), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg.closeKey(0x80000001u), ERROR_INVALID_HANDLE);

    const Handle key = create(reg, "SOFTWARE\\A");
    ASSERT_NE(key, 0u);
    EXPECT_EQ(reg.closeKey(key), ERROR_SUCCESS);
    EXPECT_EQ(reg.closeKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(setText(reg, key, "V", "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(text(reg, key, "V"), "<code 6>");
    Handle opened = 1;
    EXPECT_EQ(reg.openKey(key, "", &opened), ERROR_INVALID_HANDLE);
    EXPECT_EQ(opened, 0u);

    // Two opens of one key are two handles; each closes on its own.
    Handle first = 0;
    Handle second = 0;
    ASSERT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", &first), ERROR_SUCCESS);
    ASSERT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "software\\a", &second), ERROR_SUCCESS);
    EXPECT_NE(first, second);
    EXPECT_EQ(reg.closeKey(first), ERROR_SUCCESS);
    EXPECT_EQ(setText(reg, second, "StillOpen", "y"), ERROR_SUCCESS);
    // An open of no path hands the same handle back; a create of no path makes a new one.
    Handle same = 0;
    ASSERT_EQ(reg.openKey(second, "", &same), ERROR_SUCCESS);
    EXPECT_EQ(same, second);
    ASSERT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "", &same), ERROR_SUCCESS);
    EXPECT_EQ(same, HKEY_LOCAL_MACHINE);
    Handle created = 0;
    ASSERT_EQ(reg.createKey(second, "", 0, KEY_ALL_ACCESS, &created), ERROR_SUCCESS);
    EXPECT_NE(created, second);
    EXPECT_EQ(text(reg, created, "StillOpen"), "y");
    EXPECT_EQ(reg.closeKey(second), ERROR_SUCCESS);
    EXPECT_EQ(reg.closeKey(created), ERROR_SUCCESS);
}

TEST(SqliteRegistry, NameRules) {
    SqliteRegistry reg(":memory:");
    Handle handle = 0;
    const std::string longestPart(255, 'k');
    EXPECT_EQ(reg.createKey(HKEY_LOCAL_MACHINE, "A\\" + longestPart, 0, KEY_ALL_ACCESS, &handle),
              ERROR_SUCCESS);
    EXPECT_EQ(
        reg.createKey(HKEY_LOCAL_MACHINE, "A\\" + longestPart + "k", 0, KEY_ALL_ACCESS, &handle),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, longestPart + "k", &handle), ERROR_INVALID_PARAMETER);

    const Handle key = create(reg, "A");
    EXPECT_EQ(setText(reg, key, std::string(16383, 'v'), "x"), ERROR_SUCCESS);
    EXPECT_EQ(setText(reg, key, std::string(16384, 'v'), "x"), ERROR_INVALID_PARAMETER);
    // No value can have such a name, so reading or deleting one finds nothing.
    EXPECT_EQ(text(reg, key, std::string(16384, 'v')), "<code 2>");
    EXPECT_EQ(reg.deleteValue(key, std::string(16384, 'v')), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(reg.createKey(HKEY_LOCAL_MACHINE, "\\A", 0, KEY_ALL_ACCESS, &handle),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "\\A", &handle), ERROR_BAD_PATHNAME);
    EXPECT_EQ(reg.deleteKey(HKEY_LOCAL_MACHINE, "\\A"), ERROR_BAD_PATHNAME);
    EXPECT_EQ(reg.createKey(HKEY_LOCAL_MACHINE, "A\\\\B", 0, KEY_ALL_ACCESS, &handle),
              ERROR_BAD_PATHNAME);

    // One trailing backslash is tolerated and names the same key.
    ASSERT_EQ(reg.createKey(HKEY_LOCAL_MACHINE, "A\\B\\", 0, KEY_ALL_ACCESS, &handle),
              ERROR_SUCCESS);
    ASSERT_EQ(setText(reg, handle, "V", "in B"), ERROR_SUCCESS);
    ASSERT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "A\\B", &handle), ERROR_SUCCESS);
    EXPECT_EQ(text(reg, handle, "V"), "in B");
    EXPECT_EQ(subkeyNames(reg, key), (Names{"B", longestPart}));

    // An empty value name is the key's default value, a value like any other.
    EXPECT_EQ(setText(reg, key, "", "default"), ERROR_SUCCESS);
    EXPECT_EQ(text(reg, key, ""), "default");
}

TEST(SqliteRegistry, NamesCompareWithoutCaseAndKeepTheirCase) {
    SqliteRegistry reg(":memory:");
    // "Café" in Windows-1252; the folded forms meet whatever case they are written in.
    const Handle key = create(reg, "SOFTWARE\\Caf\xE9");
    ASSERT_NE(key, 0u);
    Handle again = 0;
    ASSERT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "software\\CAF\xC9", &again), ERROR_SUCCESS);
    ASSERT_EQ(setText(reg, again, "Port", "first"), ERROR_SUCCESS);
    ASSERT_EQ(setText(reg, key, "PORT", "second"), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(reg, key), Names{"Port"});
    EXPECT_EQ(text(reg, key, "pOrT"), "second");

    Handle software = 0;
    ASSERT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE", &software), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(reg, software), Names{"Caf\xE9"});
    // Creating under another case opens the existing key and keeps its first spelling.
    ASSERT_NE(create(reg, "SOFTWARE\\CAF\xC9"), 0u);
    EXPECT_EQ(subkeyNames(reg, software), Names{"Caf\xE9"});

    // The letters outside the Latin-1 block fold too: š/Š, œ/Œ, ž/Ž, ÿ/Ÿ.
    ASSERT_EQ(setText(reg, key, "\x9A\x9C\x9E\xFF", "lower"), ERROR_SUCCESS);
    EXPECT_EQ(text(reg, key, "\x8A\x8C\x8E\x9F"), "lower");
    // ÷ and × are not a letter pair; ß has no upper-case form in the code page.
    ASSERT_EQ(setText(reg, key, "\xF7", "divide"), ERROR_SUCCESS);
    ASSERT_EQ(setText(reg, key, "\xD7", "times"), ERROR_SUCCESS);
    EXPECT_EQ(text(reg, key, "\xF7"), "divide");
    EXPECT_EQ(text(reg, key, "\xD7"), "times");
    EXPECT_EQ(valueNames(reg, key), (Names{"Port", "\x9A\x9C\x9E\xFF", "\xF7", "\xD7"}));
}

TEST(SqliteRegistry, EnumerationOrder) {
    SqliteRegistry reg(":memory:");
    const Handle key = create(reg, "SOFTWARE\\Order");
    for (const char* name : {"zulu", "Alpha", "mike", "bravo"}) {
        ASSERT_EQ(setText(reg, key, name, "1"), ERROR_SUCCESS);
    }
    // Values: first-creation order; a replaced value keeps its place, a re-created one goes last.
    ASSERT_EQ(setText(reg, key, "ALPHA", "2"), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(reg, key), (Names{"zulu", "Alpha", "mike", "bravo"}));
    ASSERT_EQ(reg.deleteValue(key, "Zulu"), ERROR_SUCCESS);
    ASSERT_EQ(setText(reg, key, "zulu", "3"), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(reg, key), (Names{"Alpha", "mike", "bravo", "zulu"}));

    // Subkeys: sorted by their upper-case form, so "_x" follows letters as it does on the platform.
    for (const char* name : {"delta", "Charlie", "_x", "echo", "Bravo", "alpha"}) {
        ASSERT_NE(create(reg, std::string("SOFTWARE\\Order\\") + name), 0u);
    }
    EXPECT_EQ(subkeyNames(reg, key), (Names{"alpha", "Bravo", "Charlie", "delta", "echo", "_x"}));

    // A walk that sees the key change under it answers each index from the store as it now is.
    char name[64];
    Dword size = sizeof name;
    ASSERT_EQ(reg.enumValue(key, 0, name, &size, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(reg.deleteValue(key, "mike"), ERROR_SUCCESS);
    size = sizeof name;
    ASSERT_EQ(reg.enumValue(key, 1, name, &size, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name, size), "bravo");
    ASSERT_EQ(setText(reg, key, "new", "4"), ERROR_SUCCESS);
    size = sizeof name;
    ASSERT_EQ(reg.enumValue(key, 3, name, &size, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name, size), "new");
    size = sizeof name;
    EXPECT_EQ(reg.enumValue(key, 4, name, &size, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(reg.enumKey(key, 6, name, &size), ERROR_NO_MORE_ITEMS);
}

TEST(SqliteRegistry, BuffersAndSizes) {
    SqliteRegistry reg(":memory:");
    const Handle key = create(reg, "SOFTWARE\\Sizes");
    ASSERT_EQ(setText(reg, key, "Name", "abcdef"), ERROR_SUCCESS);

    Dword type = REG_NONE;
    Dword size = 0;
    EXPECT_EQ(reg.queryValue(key, "Name", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 7u);
    unsigned char data[7];
    size = 6;
    EXPECT_EQ(reg.queryValue(key, "Name", &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(reg.queryValue(key, "Name", &type, data, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(reg.queryValue(key, "Name", nullptr, nullptr, nullptr), ERROR_SUCCESS);

    // The name buffer counts the NUL: "Name" needs 5. Too small a room is left as it was, and
    // the data's size is told.
    char name[8];
    Dword nameSize = 4;
    size = sizeof data;
    EXPECT_EQ(reg.enumValue(key, 0, name, &nameSize, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(nameSize, 4u);
    EXPECT_EQ(size, 7u);
    nameSize = 5;
    EXPECT_EQ(reg.enumValue(key, 0, name, &nameSize, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(nameSize, 4u);
    EXPECT_STREQ(name, "Name");
    nameSize = 5;
    size = 3;
    EXPECT_EQ(reg.enumValue(key, 0, name, &nameSize, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(nameSize, 5u);

    ASSERT_NE(create(reg, "SOFTWARE\\Sizes\\Sub"), 0u);
    nameSize = 3;
    EXPECT_EQ(reg.enumKey(key, 0, name, &nameSize), ERROR_MORE_DATA);
    nameSize = 4;
    EXPECT_EQ(reg.enumKey(key, 0, name, &nameSize), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Sub");
    EXPECT_EQ(nameSize, 3u);
    EXPECT_EQ(reg.setValue(key, "Bad", REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
}

TEST(SqliteRegistry, DeletingKeys) {
    SqliteRegistry reg(":memory:");
    const Handle hosts = create(reg, "SOFTWARE\\Hosts");
    const Handle host = create(reg, "SOFTWARE\\Hosts\\one\\inner");
    ASSERT_EQ(setText(reg, host, "Port", "23"), ERROR_SUCCESS);

    EXPECT_EQ(reg.deleteKey(hosts, "one"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteKey(hosts, "missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.deleteKey(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteKey(hosts, "ONE\\INNER"), ERROR_SUCCESS);

    // A handle whose key was deleted answers 1018 to everything but closing.
    EXPECT_EQ(text(reg, host, "Port"), "<code 1018>");
    EXPECT_EQ(setText(reg, host, "Port", "24"), ERROR_KEY_DELETED);
    EXPECT_EQ(valueNames(reg, host), Names{});
    char name[16];
    Dword size = sizeof name;
    EXPECT_EQ(reg.enumKey(host, 0, name, &size), ERROR_KEY_DELETED);
    Handle below = 0;
    EXPECT_EQ(reg.createKey(host, "x", 0, KEY_ALL_ACCESS, &below), ERROR_KEY_DELETED);
    EXPECT_EQ(reg.closeKey(host), ERROR_SUCCESS);

    // A key created again under the same name is a new key: its values are gone.
    const Handle fresh = create(reg, "SOFTWARE\\Hosts\\one\\inner");
    EXPECT_EQ(valueNames(reg, fresh), Names{});

    // An empty subkey path deletes the handle's own key.
    EXPECT_EQ(reg.deleteKey(fresh, ""), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(reg, hosts), Names{"one"});
    EXPECT_EQ(reg.deleteKey(hosts, "one"), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(reg, hosts), Names{});
}

TEST(SqliteRegistry, HandlesCarryTheCreateAccessMask) {
    SqliteRegistry reg(":memory:");
    ASSERT_NE(create(reg, "SOFTWARE\\Hosts\\existing"), 0u);
    // What the dialogs pass: READ_CONTROL | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS.
    const Handle writer = create(reg, "SOFTWARE\\Hosts", 0x2000A);
    ASSERT_NE(writer, 0u);
    EXPECT_EQ(setText(reg, writer, "V", "x"), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(reg, writer), Names{"existing"});
    EXPECT_EQ(text(reg, writer, "V"), "<code 5>");
    char name[16];
    Dword size = sizeof name;
    EXPECT_EQ(reg.enumValue(writer, 0, name, &size, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteValue(writer, "V"), ERROR_SUCCESS);
    // The parent handle's mask is not asked when keys are created or deleted below it.
    Handle sub = 0;
    EXPECT_EQ(reg.createKey(writer, "new", 0, KEY_ALL_ACCESS, &sub), ERROR_SUCCESS);
    EXPECT_EQ(reg.deleteKey(writer, "new"), ERROR_SUCCESS);

    const Handle reader = create(reg, "SOFTWARE\\Hosts", KEY_READ);
    EXPECT_EQ(setText(reg, reader, "V", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteValue(reader, "V"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(text(reg, reader, "V"), "<code 2>");

    // An open always grants full access.
    Handle opened = 0;
    ASSERT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Hosts", &opened), ERROR_SUCCESS);
    EXPECT_EQ(setText(reg, opened, "V", "x"), ERROR_SUCCESS);
    EXPECT_EQ(text(reg, opened, "V"), "x");
}

TEST(SqliteRegistry, RootListsTheComputedHardwareKeyAndProtectsIt) {
    SqliteRegistry::Options options;
    options.sysfsRoot = "/nonexistent-sysfs";
    SqliteRegistry reg(":memory:", options);
    Handle handle = 0;
    ASSERT_NE(create(reg, "SOFTWARE"), 0u);
    ASSERT_NE(create(reg, "aaa"), 0u);
    ASSERT_NE(create(reg, "SYSTEM"), 0u);
    EXPECT_EQ(subkeyNames(reg, HKEY_LOCAL_MACHINE),
              (Names{"aaa", "HARDWARE", "SOFTWARE", "SYSTEM"}));
    EXPECT_EQ(reg.createKey(HKEY_LOCAL_MACHINE, "hardware\\Mine", 0, KEY_ALL_ACCESS, &handle),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteKey(HKEY_LOCAL_MACHINE, "HARDWARE"), ERROR_ACCESS_DENIED);
    ASSERT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "HARDWARE", &handle), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(reg, handle), Names{"DEVICEMAP"});
    EXPECT_EQ(setText(reg, handle, "V", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.openKey(handle, "DEVICEMAP\\Other", &handle), ERROR_FILE_NOT_FOUND);
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
}

TEST(SqliteRegistry, ReadOnlyStoreRefusesEveryWrite) {
    SqliteRegistry::Options options;
    options.readOnly = true;
    SqliteRegistry reg(":memory:", options);
    expectEveryWriteGives(reg, ERROR_ACCESS_DENIED);
    Handle handle = 0;
    EXPECT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE", &handle), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text(reg, HKEY_LOCAL_MACHINE, "V"), "<code 2>");
}

TEST(SqliteRegistry, LongWalksSeeEveryValueAndFollowChanges) {
    TempFolder temp;
    SqliteRegistry reg(temp.file("registry.db"));
    const Handle key = create(reg, "SOFTWARE\\Long");
    constexpr int COUNT = 300; // several chunks of rows read ahead
    Names expected;
    ASSERT_EQ(reg.runAtomically([&] {
        for (int n = 0; n < COUNT; ++n) {
            expected.push_back("v" + std::to_string(n));
            if (setText(reg, key, expected.back(), std::to_string(n)) != ERROR_SUCCESS) {
                return ERROR_INVALID_PARAMETER;
            }
        }
        return ERROR_SUCCESS;
    }),
              ERROR_SUCCESS);
    EXPECT_EQ(valueNames(reg, key), expected);

    // Our own change in mid-walk shows at once: deleting v11 moves v12 to index 11.
    for (Dword index = 0; index <= 10; ++index) {
        ASSERT_EQ(valueNameAt(reg, key, index), expected[index]);
    }
    ASSERT_EQ(reg.deleteValue(key, "v11"), ERROR_SUCCESS);
    EXPECT_EQ(valueNameAt(reg, key, 11), "v12");

    // Another process deleting values behind the walk shows by the next chunk at the latest.
    SqliteRegistry other(temp.file("registry.db"));
    Handle otherKey = 0;
    ASSERT_EQ(other.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Long", &otherKey), ERROR_SUCCESS);
    ASSERT_EQ(other.deleteValue(otherKey, "v0"), ERROR_SUCCESS);
    ASSERT_EQ(other.deleteValue(otherKey, "v1"), ERROR_SUCCESS);
    std::string seen;
    for (Dword index = 12; index < 200; ++index) {
        seen = valueNameAt(reg, key, index);
    }
    // Index 199 of the key as it now is: v0, v1 and v11 gone, so v202.
    EXPECT_EQ(seen, "v202");
    EXPECT_EQ(valueNames(reg, key).size(), static_cast<std::size_t>(COUNT - 3));
    EXPECT_EQ(valueNameAt(reg, key, COUNT - 3), "<code 259>");
}
