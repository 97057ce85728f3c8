// What CRegKey promises its holders, on whichever registry this build stands on: the SQLite
// substitute on Linux, the platform registry in the Windows build (run under Wine). The same source
// is compiled for both, so every expectation here is one the platform itself answers.
#include "ContractSupport.h"
#include "WineDifferences.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

using namespace zeb::reg;
using namespace contract;

TEST(CRegKeyContract, QueryValueReadsTextUpToTheBufferSize) {
    ScratchKey scratch;
    CRegKey key = created();
    const std::string text63(63, 'x');
    const std::string text64(64, 'y');
    ASSERT_EQ(key.SetValue(text63, "Short"), 0);
    ASSERT_EQ(key.SetValue(text64, "Long"), 0);

    Dword type = REG_NONE;
    Dword size = DEFAULT_BUFFER_SIZE;
    RegValue value = UNTOUCHED;
    EXPECT_EQ(key.QueryValue("Short", type, value, size), 0);
    EXPECT_EQ(value, RegValue(text63));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 64u);

    size = DEFAULT_BUFFER_SIZE;
    value = UNTOUCHED;
    EXPECT_EQ(key.QueryValue("Long", type, value, size), ERROR_MORE_DATA);
    EXPECT_EQ(value, UNTOUCHED);
    EXPECT_EQ(size, 65u);
    // The size reported is the size needed: a second read with it succeeds.
    EXPECT_EQ(key.QueryValue("Long", type, value, size), 0);
    EXPECT_EQ(value, RegValue(text64));

    value = UNTOUCHED;
    EXPECT_EQ(key.QueryValue("Missing", type, value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value, UNTOUCHED);
    EXPECT_EQ(key.CloseKey(), 0);
}

TEST(CRegKeyContract, SetValueStoresTextWithItsNulAndIntegersAsFourBytes) {
    ScratchKey scratch;
    CRegKey key = created();
    ASSERT_EQ(key.SetValue(std::string("1"), "Mark"), 0);
    ASSERT_EQ(key.SetValue(std::int32_t{5}, "Number"), 0);

    Dword type = REG_NONE;
    unsigned char raw[16] = {};
    Dword size = sizeof raw;
    ASSERT_EQ(backend().queryValue(key.m_hKey, "Mark", &type, raw, &size), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(raw[0], '1');
    EXPECT_EQ(raw[1], '\0');
    size = sizeof raw;
    ASSERT_EQ(backend().queryValue(key.m_hKey, "Number", &type, raw, &size), 0);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4u);

    RegValue value = UNTOUCHED;
    size = DEFAULT_BUFFER_SIZE;
    EXPECT_EQ(key.QueryValue("Mark", type, value, size), 0);
    EXPECT_EQ(value, RegValue(std::string("1")));
    EXPECT_EQ(size, 2u);

    // A value written again with another type is replaced, type and all.
    ASSERT_EQ(key.SetValue(std::string("now text"), "Number"), 0);
    EXPECT_EQ(key.QueryValue("Number", type, value), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(value, RegValue(std::string("now text")));
    key.CloseKey();
}

TEST(CRegKeyContract, DwordValuesRoundTrip) {
    ScratchKey scratch;
    CRegKey key = created();
    const std::int32_t numbers[] = {0, 5, -2, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max()};
    for (const std::int32_t number : numbers) {
        SCOPED_TRACE(number);
        ASSERT_EQ(key.SetValue(number, "Number"), 0);
        Dword type = REG_SZ;
        Dword size = DEFAULT_BUFFER_SIZE;
        RegValue value = UNTOUCHED;
        EXPECT_EQ(key.QueryValue("Number", type, value, size), 0);
        EXPECT_EQ(type, REG_DWORD);
        EXPECT_EQ(size, 4u);
        EXPECT_EQ(value, RegValue(number));
        EXPECT_EQ(textOf(value), std::to_string(number));

        // The key holds this one value, so it is at index 0.
        std::string name;
        value = UNTOUCHED;
        type = REG_SZ;
        EXPECT_EQ(key.EnumValue(0, name, type, value), 0);
        EXPECT_EQ(name, "Number");
        EXPECT_EQ(type, REG_DWORD);
        EXPECT_EQ(value, RegValue(number));
    }
    key.CloseKey();
}

TEST(CRegKeyContract, ReadsOfOtherDataFollowTheDocumentedChoices) {
    ScratchKey scratch;
    CRegKey key = created();
    const unsigned char bytes[] = {1, 2, 3};
    ASSERT_EQ(backend().setValue(key.m_hKey, "Binary", REG_BINARY, bytes, 3), 0);
    ASSERT_EQ(backend().setValue(key.m_hKey, "Empty", REG_SZ, nullptr, 0), 0);
    // Three bytes counted, no NUL among them, and no NUL right after them either (the platform
    // counts a NUL that follows the data as if the caller had).
    const unsigned char noNul[] = {'a', 'b', 'c', 'd'};
    ASSERT_EQ(backend().setValue(key.m_hKey, "NoNul", REG_SZ, noNul, 3), 0);
    const unsigned char shortNumber[] = {7, 0};
    ASSERT_EQ(backend().setValue(key.m_hKey, "ShortNumber", REG_DWORD, shortNumber, 2), 0);

    Dword type = REG_SZ;
    RegValue value = UNTOUCHED;
    EXPECT_EQ(key.QueryValue("Binary", type, value), 0);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(value, UNTOUCHED);

    EXPECT_EQ(key.QueryValue("Empty", type, value), 0);
    EXPECT_EQ(value, RegValue(std::string()));

    EXPECT_EQ(key.QueryValue("NoNul", type, value), 0);
    EXPECT_EQ(value, RegValue(std::string("abc")));

    // The second, integer read gets the data's 2 bytes; the rest of the integer stays zero.
    EXPECT_EQ(key.QueryValue("ShortNumber", type, value), 0);
    EXPECT_EQ(value, RegValue(std::int32_t{7}));

    // A size too small for the integer fails the first read with the size needed.
    ASSERT_EQ(key.SetValue(std::int32_t{9}, "Number"), 0);
    value = UNTOUCHED;
    Dword size = 3;
    EXPECT_EQ(key.QueryValue("Number", type, value, size), ERROR_MORE_DATA);
    EXPECT_EQ(value, UNTOUCHED);
    EXPECT_EQ(size, 4u);
    key.CloseKey();
}

TEST(CRegKeyContract, EnumValueWalksToTheEndAndPastIt) {
    ScratchKey scratch;
    CRegKey key = created();
    // Created in name order, so the walk is the same whatever order the registry keeps.
    ASSERT_EQ(key.SetValue(std::string("one"), "First"), 0);
    ASSERT_EQ(key.SetValue(std::int32_t{-2}, "Second"), 0);

    std::string name = "untouched";
    Dword type = REG_SZ;
    RegValue value = UNTOUCHED;
    Dword nameSize = DEFAULT_BUFFER_SIZE;
    Dword valueSize = DEFAULT_BUFFER_SIZE;
    EXPECT_EQ(key.EnumValue(0, name, type, value, nameSize, valueSize), 0);
    EXPECT_EQ(name, "First");
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(value, RegValue(std::string("one")));
    EXPECT_EQ(nameSize, 5u);
    EXPECT_EQ(valueSize, 4u);
    EXPECT_EQ(key.EnumValue(1, name, type, value), 0);
    EXPECT_EQ(name, "Second");
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, RegValue(std::int32_t{-2}));

    for (const Dword past : {2u, 3u, 1000u}) {
        name = "untouched";
        value = UNTOUCHED;
        EXPECT_EQ(key.EnumValue(past, name, type, value), ERROR_NO_MORE_ITEMS) << past;
        EXPECT_EQ(name, "untouched");
        EXPECT_EQ(value, UNTOUCHED);
    }
    key.CloseKey();
}

TEST(CRegKeyContract, EnumValueRefusesNamesAndDataTooLongForItsBuffers) {
    ScratchKey scratch;
    // Each key holds one value, so index 0 is that value in any enumeration order.
    CRegKey longName = created("LongName");
    ASSERT_EQ(longName.SetValue(std::string("x"), std::string(64, 'n')), 0);
    CRegKey longestName = created("LongestName");
    ASSERT_EQ(longestName.SetValue(std::string("x"), std::string(63, 'm')), 0);
    CRegKey longData = created("LongData");
    ASSERT_EQ(longData.SetValue(std::string(64, 'd'), "V"), 0);

    std::string name = "untouched";
    Dword type = REG_SZ;
    RegValue value = UNTOUCHED;
    Dword nameSize = DEFAULT_BUFFER_SIZE;
    Dword valueSize = DEFAULT_BUFFER_SIZE;
    // A name of 64 characters needs 65 with its NUL. The name's room is left as it was; the data's
    // size is reported.
    EXPECT_EQ(longName.EnumValue(0, name, type, value, nameSize, valueSize), ERROR_MORE_DATA);
    EXPECT_EQ(name, "untouched");
    EXPECT_EQ(value, UNTOUCHED);
    EXPECT_EQ(nameSize, DEFAULT_BUFFER_SIZE);
    EXPECT_EQ(valueSize, 2u);

    EXPECT_EQ(longestName.EnumValue(0, name, type, value), 0);
    EXPECT_EQ(name, std::string(63, 'm'));

    name = "untouched";
    value = UNTOUCHED;
    nameSize = DEFAULT_BUFFER_SIZE;
    valueSize = DEFAULT_BUFFER_SIZE;
    EXPECT_EQ(longData.EnumValue(0, name, type, value, nameSize, valueSize), ERROR_MORE_DATA);
    EXPECT_EQ(name, "untouched");
    EXPECT_EQ(value, UNTOUCHED);
    EXPECT_EQ(nameSize, DEFAULT_BUFFER_SIZE);
    EXPECT_EQ(valueSize, 65u);
    EXPECT_EQ(type, REG_SZ);

    longName.CloseKey();
    longestName.CloseKey();
    longData.CloseKey();
}

TEST(CRegKeyContract, ValuesEnumerateInTheOrderTheyWereCreated) {
    SKIP_WHERE_WINE_DIFFERS("Wine keeps a key's values sorted by name; Windows enumerates them in "
                            "the order they were created");
    ScratchKey scratch;
    CRegKey key = created();
    for (const char* name : {"zulu", "Alpha", "mike"}) {
        ASSERT_EQ(key.SetValue(std::string("1"), name), 0);
    }
    // A value written again keeps its place and its first spelling.
    ASSERT_EQ(key.SetValue(std::string("2"), "ALPHA"), 0);
    EXPECT_EQ(valuesOf(key), (std::vector<std::string>{"zulu", "Alpha", "mike"}));
    key.CloseKey();
}

TEST(CRegKeyContract, SubkeysEnumerateSortedWithoutRegardToCase) {
    ScratchKey scratch;
    CRegKey key = withSubkeys({"delta", "Charlie", "echo", "Bravo", "alpha"});
    EXPECT_EQ(subkeysOf(key),
              (std::vector<std::string>{"alpha", "Bravo", "Charlie", "delta", "echo"}));
    key.CloseKey();
}

TEST(CRegKeyContract, SubkeysSortByTheirUpperCaseForm) {
    SKIP_WHERE_WINE_DIFFERS("Wine compares subkey names in lower case, so '_' sorts before the "
                            "letters; Windows compares them in upper case, so it sorts after");
    ScratchKey scratch;
    CRegKey key = withSubkeys({"_x", "bravo", "Alpha"});
    EXPECT_EQ(subkeysOf(key), (std::vector<std::string>{"Alpha", "bravo", "_x"}));
    key.CloseKey();
}

TEST(CRegKeyContract, HandlesFollowTheHolderPattern) {
    ScratchKey scratch;
    CRegKey key;
    EXPECT_EQ(key.CloseKey(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(key.m_hKey, 0u);

    key = created();
    ASSERT_NE(key.m_hKey, 0u);
    EXPECT_EQ(key.CloseKey(), 0);
    EXPECT_EQ(key.m_hKey, 0u);
    EXPECT_EQ(key.CloseKey(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(key.m_hKey, 0u);

    // A failed open leaves the object empty, and everything on it answers 6.
    EXPECT_EQ(key.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path("Missing"), KEY_READ),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.m_hKey, 0u);
    std::string name;
    Dword type = REG_SZ;
    RegValue value = UNTOUCHED;
    EXPECT_EQ(key.EnumValue(0, name, type, value), ERROR_INVALID_HANDLE);
    EXPECT_EQ(key.QueryValue("V", type, value), ERROR_INVALID_HANDLE);
    EXPECT_EQ(value, UNTOUCHED);
    EXPECT_EQ(key.SetValue(std::string("v"), "V"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(key.DeleteValue("V"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(key.DeleteSubKey("Sub"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(key.RecurseDeleteKey("Sub"), ERROR_INVALID_HANDLE);
    CRegKey below;
    EXPECT_EQ(below.Create(key.m_hKey, "Sub"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(below.OpenKey(key.m_hKey, "Sub"), ERROR_INVALID_HANDLE);

    // OpenKey ignores the mask: a key opened "for reading" can be written.
    ASSERT_EQ(key.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path(), KEY_READ), 0);
    EXPECT_EQ(key.SetValue(std::string("v"), "Written"), 0);
    // Create of an existing key opens it, its values untouched; the held handle is replaced, not
    // closed, so the first one stays usable until it is closed on its own.
    const Handle first = key.m_hKey;
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, ScratchKey::path()), 0);
    EXPECT_NE(key.m_hKey, first);
    EXPECT_EQ(textAt(key, "Written"), "v");
    EXPECT_EQ(backend().setValue(first, "ByFirst", REG_SZ,
                                 reinterpret_cast<const unsigned char*>("f"), 2),
              0);
    EXPECT_EQ(textAt(key, "ByFirst"), "f");
    EXPECT_EQ(backend().closeKey(first), 0);
    EXPECT_EQ(key.CloseKey(), 0);
}

TEST(CRegKeyContract, OpenKeyOfAnEmptySubkeyReturnsTheSameHandle) {
    ScratchKey scratch;
    CRegKey key = created();
    CRegKey again;
    ASSERT_EQ(again.OpenKey(key.m_hKey, ""), 0);
    EXPECT_EQ(again.m_hKey, key.m_hKey);
    // One handle, so one close: the second holder's close finds it gone.
    EXPECT_EQ(again.CloseKey(), 0);
    EXPECT_EQ(key.CloseKey(), ERROR_INVALID_HANDLE);

    // The predefined root comes back as itself and closing it changes nothing.
    ASSERT_EQ(again.OpenKey(HKEY_LOCAL_MACHINE), 0);
    EXPECT_EQ(again.m_hKey, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(again.CloseKey(), 0);
    EXPECT_TRUE(exists(""));
}

TEST(CRegKeyContract, KeyDeletedUnderAHeldHandleAnswers1018) {
    ScratchKey scratch;
    CRegKey holder;
    {
        CRegKey made = created("Doomed");
        ASSERT_EQ(made.SetValue(std::string("v"), "V"), 0);
        made.CloseKey();
    }
    ASSERT_EQ(holder.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path("Doomed")), 0);
    CRegKey parent = created();
    ASSERT_EQ(parent.DeleteSubKey("Doomed"), 0);

    expectReadsRefused(holder, "V", ERROR_KEY_DELETED);
    EXPECT_EQ(holder.SetValue(std::string("w"), "W"), ERROR_KEY_DELETED);
    EXPECT_EQ(holder.DeleteValue("V"), ERROR_KEY_DELETED);
    CRegKey below;
    EXPECT_EQ(below.Create(holder.m_hKey, "Child"), ERROR_KEY_DELETED);
    EXPECT_EQ(below.OpenKey(holder.m_hKey, "Child"), ERROR_KEY_DELETED);
    EXPECT_EQ(holder.CloseKey(), 0);

    // Created again under the same name it is a new, empty key.
    CRegKey fresh = created("Doomed");
    EXPECT_EQ(textAt(fresh, "V"), "<code 2>");
    fresh.CloseKey();
    parent.CloseKey();
}

TEST(CRegKeyContract, DeleteSubKeyRefusesAKeyThatStillHasSubkeys) {
    ScratchKey scratch;
    CRegKey parent = created();
    CRegKey inner = created("Host\\Inner");
    ASSERT_EQ(inner.SetValue(std::string("23"), "Port"), 0);
    inner.CloseKey();

    EXPECT_EQ(parent.DeleteSubKey("Host"), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(exists("Host\\Inner"));
    EXPECT_EQ(parent.DeleteSubKey("Missing"), ERROR_FILE_NOT_FOUND);
    // A path names the key to delete; the key above it stays.
    EXPECT_EQ(parent.DeleteSubKey("Host\\Inner"), 0);
    EXPECT_FALSE(exists("Host\\Inner"));
    EXPECT_TRUE(exists("Host"));
    EXPECT_EQ(parent.DeleteSubKey("Host"), 0);
    EXPECT_FALSE(exists("Host"));
    parent.CloseKey();
}

TEST(CRegKeyContract, LeadingAndTrailingBackslashes) {
    ScratchKey scratch;
    CRegKey parent = created();
    CRegKey key;
    EXPECT_EQ(key.Create(HKEY_LOCAL_MACHINE, "\\" + ScratchKey::path("Lead")), ERROR_BAD_PATHNAME);
    EXPECT_EQ(key.Create(parent.m_hKey, "\\Lead"), ERROR_BAD_PATHNAME);
    EXPECT_EQ(key.OpenKey(HKEY_LOCAL_MACHINE, "\\" + ScratchKey::path()), ERROR_BAD_PATHNAME);
    EXPECT_EQ(parent.DeleteSubKey("\\Lead"), ERROR_BAD_PATHNAME);
    EXPECT_FALSE(exists("Lead"));

    // Trailing backslashes name the same key as the path without them.
    ASSERT_EQ(key.Create(parent.m_hKey, "Trail\\"), 0);
    ASSERT_EQ(key.SetValue(std::string("t"), "V"), 0);
    key.CloseKey();
    ASSERT_EQ(key.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path("Trail\\\\")), 0);
    EXPECT_EQ(textAt(key, "V"), "t");
    key.CloseKey();
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, ScratchKey::path("Trail\\\\")), 0);
    EXPECT_EQ(textAt(key, "V"), "t");
    key.CloseKey();
    EXPECT_EQ(subkeysOf(parent), std::vector<std::string>{"Trail"});
    EXPECT_EQ(parent.DeleteSubKey("Trail\\"), 0);
    EXPECT_FALSE(exists("Trail"));

    // A record name with a backslash inside is a path of nested keys; deleting it removes the
    // innermost key and leaves the one above.
    CRegKey nested = created("Hosts\\north\\gate");
    nested.CloseKey();
    CRegKey hosts = created("Hosts");
    EXPECT_EQ(subkeysOf(hosts), std::vector<std::string>{"north"});
    EXPECT_EQ(hosts.DeleteSubKey("north\\gate"), 0);
    EXPECT_TRUE(exists("Hosts\\north"));
    EXPECT_FALSE(exists("Hosts\\north\\gate"));
    hosts.CloseKey();
    parent.CloseKey();
}

TEST(CRegKeyContract, NamesDifferingOnlyInLetterCaseAreOneName) {
    ScratchKey scratch;
    CRegKey key = created("CaseKey");
    ASSERT_EQ(key.SetValue(std::string("first"), "Port"), 0);
    ASSERT_EQ(key.SetValue(std::string("second"), "PORT"), 0);
    EXPECT_EQ(textAt(key, "pOrT"), "second");
    EXPECT_EQ(valuesOf(key), std::vector<std::string>{"Port"});
    EXPECT_EQ(key.DeleteValue("port"), 0);
    EXPECT_EQ(valuesOf(key), std::vector<std::string>{});

    // Windows-1252 letters fold too: "Äpfel" and "äPFEL", "Café" and "CAFÉ".
    ASSERT_EQ(key.SetValue(std::string("fruit"), "\xC3\x84pfel"), 0);
    EXPECT_EQ(textAt(key, "\xC3\xA4PFEL"), "fruit");
    key.CloseKey();

    // A key created under another spelling is the same key and keeps its first spelling.
    CRegKey again = created("CASEKEY");
    EXPECT_EQ(textAt(again, "\xC3\x84PFEL"), "fruit");
    again.CloseKey();
    CRegKey accented = created("Caf\xC3\xA9");
    ASSERT_EQ(accented.SetValue(std::string("hot"), "Drink"), 0);
    accented.CloseKey();
    CRegKey upper;
    ASSERT_EQ(upper.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path("CAF\xC3\x89")), 0);
    EXPECT_EQ(textAt(upper, "drink"), "hot");
    upper.CloseKey();

    CRegKey parent = created();
    EXPECT_EQ(subkeysOf(parent), (std::vector<std::string>{"Caf\xE9", "CaseKey"}));
    parent.CloseKey();
}

TEST(CRegKeyContract, RecurseDeleteKeyRemovesAThreeLevelTree) {
    ScratchKey scratch;
    for (const char* branch : {"One", "Two", "Three"}) {
        CRegKey leaf = created(std::string("Tree\\") + branch + "\\Inner\\Deepest");
        ASSERT_EQ(leaf.SetValue(std::string("leaf"), "Deep"), 0);
        leaf.CloseKey();
        CRegKey middle = created(std::string("Tree\\") + branch);
        ASSERT_EQ(middle.SetValue(std::string("mid"), "Name"), 0);
        ASSERT_EQ(middle.SetValue(std::int32_t{3}, "Count"), 0);
        middle.CloseKey();
    }
    CRegKey keep = created("Keep");
    ASSERT_EQ(keep.SetValue(std::string("kept"), "V"), 0);
    keep.CloseKey();

    CRegKey parent = created();
    EXPECT_EQ(parent.RecurseDeleteKey("Tree"), 0);
    EXPECT_FALSE(exists("Tree"));
    EXPECT_EQ(subkeysOf(parent), std::vector<std::string>{"Keep"});

    // A missing key: 2, and nothing else is touched.
    EXPECT_EQ(parent.RecurseDeleteKey("Tree"), ERROR_FILE_NOT_FOUND);
    CRegKey kept = created("Keep");
    EXPECT_EQ(textAt(kept, "V"), "kept");
    kept.CloseKey();
    parent.CloseKey();
}

TEST(CRegKeyContract, RecurseDeleteKeyEndsAtASubkeyNameTooLongForItsBuffer) {
    ScratchKey scratch;
    const std::string longest(127, 'm');
    const std::string tooLong(128, 'n');
    created("Fits\\" + longest).CloseKey();
    created("TooLong\\" + tooLong).CloseKey();
    CRegKey parent = created();
    // The enumeration's buffer holds 128 characters with the NUL: 127 fit, 128 give 234.
    EXPECT_EQ(parent.RecurseDeleteKey("Fits"), 0);
    EXPECT_FALSE(exists("Fits"));
    EXPECT_EQ(parent.RecurseDeleteKey("TooLong"), ERROR_MORE_DATA);
    EXPECT_TRUE(exists("TooLong\\" + tooLong));
    // Removed one key at a time instead, which is also what the scratch key's removal needs.
    EXPECT_EQ(parent.DeleteSubKey("TooLong\\" + tooLong), 0);
    EXPECT_EQ(parent.DeleteSubKey("TooLong"), 0);
    parent.CloseKey();
}
