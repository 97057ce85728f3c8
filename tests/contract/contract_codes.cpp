// The registry's answers that the store's code table promises, asked through the registry
// operations and CRegKey alike, on whichever registry this build stands on. Together with
// contract_cregkey.cpp this covers every code of the table that the platform can give:
// 0, 2, 5, 6, 87, 161, 234, 259 and 1018. (1009 and 1015, a store file that is not a valid store,
// exist only where there is a store file: the substitute's own tests cover them.)
#include "ContractSupport.h"
#include "WineDifferences.h"

#include <gtest/gtest.h>

#include <string>

using namespace zeb::reg;
using namespace contract;

// What the dialogs that write pass to Create: READ_CONTROL | KEY_SET_VALUE |
// KEY_ENUMERATE_SUB_KEYS. Such a handle writes, deletes values and lists subkeys; it cannot read a
// value, by name or by position. A KEY_READ handle from Create reads and cannot write.
TEST(RegistryContract, HandlesFromCreateCarryTheirAccess) {
    ScratchKey scratch;
    created("Hosts\\existing").CloseKey();
    CRegKey writer = created("Hosts", WRITER_ACCESS);
    EXPECT_EQ(writer.SetValue(std::string("1"), "alpha"), 0);
    EXPECT_EQ(writer.SetValue(std::string("1"), "beta"), 0);
    expectReadsRefused(writer, "alpha", ERROR_ACCESS_DENIED);
    EXPECT_EQ(subkeysOf(writer), std::vector<std::string>{"existing"});
    EXPECT_EQ(writer.DeleteValue("beta"), 0);

    // The parent handle's own access is not asked when a key is created or deleted below it.
    CRegKey child;
    EXPECT_EQ(child.Create(writer.m_hKey, "new"), 0);
    child.CloseKey();
    EXPECT_EQ(writer.DeleteSubKey("new"), 0);
    EXPECT_EQ(writer.RecurseDeleteKey("existing"), 0);
    writer.CloseKey();

    CRegKey reader = created("Hosts", KEY_READ);
    EXPECT_EQ(valuesOf(reader), std::vector<std::string>{"alpha"});
    EXPECT_EQ(textAt(reader, "alpha"), "1");
    EXPECT_EQ(reader.SetValue(std::string("x"), "V"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reader.DeleteValue("alpha"), ERROR_ACCESS_DENIED);
    reader.CloseKey();

    // An open asks for no access and gets all of it.
    CRegKey opened;
    ASSERT_EQ(opened.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path("Hosts"), KEY_READ), 0);
    EXPECT_EQ(opened.SetValue(std::string("x"), "V"), 0);
    EXPECT_EQ(opened.DeleteValue("alpha"), 0);
    opened.CloseKey();
}

TEST(RegistryContract, NamesUpToTheLimit) {
    ScratchKey scratch;
    CRegKey key = created();
    const std::string longest(16383, 'v');
    const std::string tooLong(16384, 'v');
    EXPECT_EQ(key.SetValue(std::string("x"), longest), 0);
    EXPECT_EQ(textAt(key, longest), "x");
    EXPECT_EQ(key.SetValue(std::string("x"), tooLong), ERROR_INVALID_PARAMETER);
    // No value can have such a name, so asking for one or deleting it finds nothing.
    EXPECT_EQ(textAt(key, tooLong), "<code 2>");
    EXPECT_EQ(key.DeleteValue(tooLong), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.DeleteValue(longest), 0);
    // An empty name is the key's default value, a value like any other.
    EXPECT_EQ(key.SetValue(std::string("default"), ""), 0);
    EXPECT_EQ(textAt(key, ""), "default");

    // Key names of up to 255 characters.
    CRegKey sub;
    ASSERT_EQ(sub.Create(key.m_hKey, std::string(255, 'k')), 0);
    sub.CloseKey();
    EXPECT_EQ(key.DeleteSubKey(std::string(255, 'k')), 0);
    key.CloseKey();
}

TEST(RegistryContract, KeyNamesOverTheLimitAreInvalid) {
    SKIP_WHERE_WINE_DIFFERS("Wine accepts key names of 256 characters (its limit is one above the "
                            "documented 255) and refuses them from 257 on");
    ScratchKey scratch;
    CRegKey parent = created();
    const std::string tooLong(256, 'k');
    CRegKey key;
    EXPECT_EQ(key.Create(parent.m_hKey, tooLong), ERROR_INVALID_PARAMETER);
    parent.CloseKey();
}
