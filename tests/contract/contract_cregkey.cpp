// What CRegKey and the registry operations promise, compiled for the SQLite substitute on Linux and
// for the platform registry (run under Wine), so the platform itself judges every expectation.
// Together they give every code of the store's table the platform can: 0, 2, 5, 6, 87, 161, 234,
// 259 and 1018 (1009 and 1015 need a store file: the substitute's own tests cover them).
#include "ContractSupport.h"
#include "WineDifferences.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

using namespace zeb::reg;
using namespace contract;
using Names = std::vector<std::string>;

// A size of 0 is a buffer too small, not a request for the size alone; data over a mebibyte is read
// whole once the size holds it, so a caller growing its size to the one told gets the data.
TEST(CRegKeyContract, QueryValueReadsUpToTheBufferSizeAndTellsTheSizeNeeded) {
    ScratchKey scratch;
    CRegKey key = created();
    const std::string text63(63, 'x');
    const std::string text64(64, 'y');
    const std::string large((1u << 20) + 10, 'L');
    const auto largeSize = static_cast<Dword>(large.size() + 1);
    ASSERT_EQ(key.SetValue(text63, "Short"), 0);
    ASSERT_EQ(key.SetValue(text64, "Long"), 0);
    ASSERT_EQ(key.SetValue(large, "Large"), 0);
    Dword type = REG_NONE;
    EXPECT_EQ(queried(key, "Short", DEFAULT_BUFFER_SIZE, type), Answer(0, text63, 64));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(queried(key, "Long"), Answer(ERROR_MORE_DATA, UNTOUCHED, 65));
    EXPECT_EQ(queried(key, "Long", 65), Answer(0, text64, 65));
    EXPECT_EQ(queried(key, "Short", 0), Answer(ERROR_MORE_DATA, UNTOUCHED, 64));
    EXPECT_EQ(queried(key, "Large"), Answer(ERROR_MORE_DATA, UNTOUCHED, largeSize));
    EXPECT_EQ(queried(key, "Large", largeSize), Answer(0, large, largeSize));
    const Answer missing = queried(key, "Missing");
    EXPECT_EQ(std::get<0>(missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(std::get<1>(missing), UNTOUCHED);

    const unsigned char bytes[] = {1, 2, 3};
    ASSERT_EQ(backend().setValue(key.m_hKey, "Binary", REG_BINARY, bytes, 3), 0);
    ASSERT_EQ(backend().setValue(key.m_hKey, "Empty", REG_SZ, nullptr, 0), 0);
    // No NUL among the three bytes counted, and none counted after them (as the platform does).
    const unsigned char noNul[] = {'a', 'b', 'c', 'd'};
    ASSERT_EQ(backend().setValue(key.m_hKey, "NoNul", REG_SZ, noNul, 3), 0);
    const unsigned char shortNumber[] = {7, 0};
    ASSERT_EQ(backend().setValue(key.m_hKey, "ShortNumber", REG_DWORD, shortNumber, 2), 0);
    ASSERT_EQ(key.SetValue(std::int32_t{9}, "Number"), 0);
    EXPECT_EQ(queried(key, "Binary", DEFAULT_BUFFER_SIZE, type), Answer(0, UNTOUCHED, 3));
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(queried(key, "Empty"), Answer(0, std::string(), 0));
    EXPECT_EQ(std::get<1>(queried(key, "NoNul")), RegValue(std::string("abc")));
    // The integer read gets the data's 2 bytes; the rest of the integer stays zero.
    EXPECT_EQ(queried(key, "ShortNumber"), Answer(0, std::int32_t{7}, 2));
    EXPECT_EQ(queried(key, "Number", 3), Answer(ERROR_MORE_DATA, UNTOUCHED, 4));
    EXPECT_EQ(queried(key, "Number", 0), Answer(ERROR_MORE_DATA, UNTOUCHED, 4));
    key.CloseKey();
}

// Integers are four bytes whichever way they are read; text keeps its NUL; the walk ends in 259;
// a name of 64 characters needs 65 with its NUL. Each key below holds one value, at index 0.
TEST(CRegKeyContract, EnumValueWalksToTheEndAndRefusesWhatItsBuffersCannotHold) {
    ScratchKey scratch;
    Dword type = REG_NONE;
    CRegKey numbers = created("Numbers");
    for (const std::int32_t number :
         {-2, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()}) {
        ASSERT_EQ(numbers.SetValue(number, "Number"), 0);
        EXPECT_EQ(queried(numbers, "Number", DEFAULT_BUFFER_SIZE, type), Answer(0, number, 4));
        EXPECT_EQ(type, REG_DWORD);
        EXPECT_EQ(textOf(number), std::to_string(number));
        EXPECT_EQ(listed(numbers, 0, type), Listed(0, "Number", number, 6, 4));
        EXPECT_EQ(type, REG_DWORD);
    }
    // Written again with another type: replaced, type and all.
    ASSERT_EQ(numbers.SetValue(std::string("now text"), "Number"), 0);
    EXPECT_EQ(queried(numbers, "Number", DEFAULT_BUFFER_SIZE, type), Answer(0, "now text", 9));
    EXPECT_EQ(type, REG_SZ);
    ASSERT_EQ(numbers.SetValue(std::string("one"), "Number2"), 0);
    EXPECT_EQ(listed(numbers, 1, type), Listed(0, "Number2", "one", 7, 4));
    EXPECT_EQ(type, REG_SZ);
    expectListingRefused(numbers, 2, ERROR_NO_MORE_ITEMS);

    CRegKey longName = created("LongName");
    ASSERT_EQ(longName.SetValue(std::string("x"), std::string(64, 'n')), 0);
    EXPECT_EQ(listed(longName, 0), Listed(ERROR_MORE_DATA, "untouched", UNTOUCHED, 64, 2));
    CRegKey longestName = created("LongestName");
    ASSERT_EQ(longestName.SetValue(std::string("x"), std::string(63, 'm')), 0);
    EXPECT_EQ(listed(longestName, 0), Listed(0, std::string(63, 'm'), "x", 63, 2));
    CRegKey longData = created("LongData");
    ASSERT_EQ(longData.SetValue(std::string(64, 'd'), "V"), 0);
    EXPECT_EQ(listed(longData, 0, type), Listed(ERROR_MORE_DATA, "untouched", UNTOUCHED, 64, 65));
    EXPECT_EQ(type, REG_SZ);
    Dword nameSize = DEFAULT_BUFFER_SIZE;
    Dword valueSize = 0;
    std::string name = "untouched";
    RegValue value = UNTOUCHED;
    EXPECT_EQ(longestName.EnumValue(0, name, type, value, nameSize, valueSize), ERROR_MORE_DATA);
    EXPECT_EQ(valueSize, 2u);
    EXPECT_EQ(value, UNTOUCHED);
    for (CRegKey* held : {&numbers, &longName, &longestName, &longData}) {
        held->CloseKey();
    }
}

TEST(CRegKeyContract, ValuesEnumerateInTheOrderTheyWereCreated) {
    SKIP_WHERE_WINE_DIFFERS("Wine keeps a key's values sorted by name");
    ScratchKey scratch;
    CRegKey key = created();
    for (const char* name : {"zulu", "Alpha", "mike"}) {
        ASSERT_EQ(key.SetValue(std::string("1"), name), 0);
    }
    // A value written again keeps its place and its first spelling.
    ASSERT_EQ(key.SetValue(std::string("2"), "ALPHA"), 0);
    EXPECT_EQ(valuesOf(key), (Names{"zulu", "Alpha", "mike"}));
    key.CloseKey();
}

TEST(CRegKeyContract, SubkeysEnumerateSortedWithoutRegardToCase) {
    ScratchKey scratch;
    CRegKey key = withSubkeys({"delta", "Charlie", "echo", "Bravo", "alpha"});
    EXPECT_EQ(subkeysOf(key), (Names{"alpha", "Bravo", "Charlie", "delta", "echo"}));
    char name[16];
    Dword size = sizeof name;
    EXPECT_EQ(backend().enumKey(key.m_hKey, 5, name, &size), ERROR_NO_MORE_ITEMS);
    key.CloseKey();
}

TEST(CRegKeyContract, SubkeysSortByTheirUpperCaseForm) {
    SKIP_WHERE_WINE_DIFFERS("Wine compares subkey names in lower case, '_' before the letters");
    ScratchKey scratch;
    CRegKey key = withSubkeys({"_x", "bravo", "Alpha"});
    EXPECT_EQ(subkeysOf(key), (Names{"Alpha", "bravo", "_x"}));
    key.CloseKey();
}

TEST(CRegKeyContract, HandlesFollowTheHolderPattern) {
    ScratchKey scratch;
    CRegKey key;
    EXPECT_EQ(key.CloseKey(), ERROR_INVALID_HANDLE);
    key = created();
    ASSERT_NE(key.m_hKey, 0u);
    EXPECT_EQ(key.CloseKey(), 0);
    EXPECT_EQ(key.m_hKey, 0u);
    EXPECT_EQ(key.CloseKey(), ERROR_INVALID_HANDLE);
    // A failed open leaves the object empty, and everything on it answers 6.
    EXPECT_EQ(key.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path("Missing"), KEY_READ),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.m_hKey, 0u);
    expectReadsRefused(key, "V", ERROR_INVALID_HANDLE);
    EXPECT_EQ(key.SetValue(std::string("v"), "V"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(key.RecurseDeleteKey("Sub"), ERROR_INVALID_HANDLE);
    CRegKey below;
    EXPECT_EQ(below.Create(key.m_hKey, "Sub"), ERROR_INVALID_HANDLE);

    // Create of an existing key opens it, values untouched; the held handle is replaced, not
    // closed, so the first one stays usable until it is closed on its own.
    ASSERT_EQ(key.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path()), 0);
    ASSERT_EQ(key.SetValue(std::string("v"), "Written"), 0);
    const Handle first = key.m_hKey;
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, ScratchKey::path()), 0);
    EXPECT_NE(key.m_hKey, first);
    EXPECT_EQ(textAt(key, "Written"), "v");
    EXPECT_EQ(backend().setValue(first, "ByFirst", REG_SZ,
                                 reinterpret_cast<const unsigned char*>("f"), 2),
              0);
    EXPECT_EQ(textAt(key, "ByFirst"), "f");
    EXPECT_EQ(backend().closeKey(first), 0);

    // An open of no subkey hands back the same handle, so one close; the predefined root comes back
    // as itself and closing it changes nothing.
    CRegKey again;
    ASSERT_EQ(again.OpenKey(key.m_hKey, ""), 0);
    EXPECT_EQ(again.m_hKey, key.m_hKey);
    EXPECT_EQ(again.CloseKey(), 0);
    EXPECT_EQ(key.CloseKey(), ERROR_INVALID_HANDLE);
    ASSERT_EQ(again.OpenKey(HKEY_LOCAL_MACHINE), 0);
    EXPECT_EQ(again.m_hKey, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(again.CloseKey(), 0);
    EXPECT_TRUE(exists(""));
}

// What the dialogs that write pass to Create (READ_CONTROL | KEY_SET_VALUE |
// KEY_ENUMERATE_SUB_KEYS) writes, deletes values and lists subkeys but reads no value; KEY_READ
// from Create reads and cannot write; an open asks for no access and gets all of it.
TEST(CRegKeyContract, HandlesFromCreateCarryTheirAccess) {
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
    CRegKey opened;
    ASSERT_EQ(opened.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path("Hosts"), KEY_READ), 0);
    EXPECT_EQ(opened.SetValue(std::string("x"), "V"), 0);
    EXPECT_EQ(opened.DeleteValue("alpha"), 0);
    opened.CloseKey();
}

TEST(CRegKeyContract, KeyDeletedUnderAHeldHandleAnswers1018) {
    ScratchKey scratch;
    CRegKey made = created("Doomed");
    ASSERT_EQ(made.SetValue(std::string("v"), "V"), 0);
    made.CloseKey();
    CRegKey holder;
    ASSERT_EQ(holder.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path("Doomed")), 0);
    CRegKey parent = created();
    ASSERT_EQ(parent.DeleteSubKey("Doomed"), 0);
    expectReadsRefused(holder, "V", ERROR_KEY_DELETED);
    EXPECT_EQ(holder.SetValue(std::string("w"), "W"), ERROR_KEY_DELETED);
    CRegKey below;
    EXPECT_EQ(below.Create(holder.m_hKey, "Child"), ERROR_KEY_DELETED);
    EXPECT_EQ(holder.CloseKey(), 0);
    CRegKey fresh = created("Doomed"); // a new, empty key of the same name
    EXPECT_EQ(textAt(fresh, "V"), "<code 2>");
    fresh.CloseKey();
    parent.CloseKey();
}

// The Windows build has no transaction to lean on: there the group undoes its writes one by one.
TEST(CRegKeyContract, AFailedGroupOfWritesLeavesEveryKeyAndValueAsItWas) {
    ScratchKey scratch;
    CRegKey list = created();
    ASSERT_EQ(list.SetValue(std::string("Before"), "Kept"), 0);
    CRegKey old = created("Old");
    ASSERT_EQ(old.SetValue(std::string("1"), "A"), 0);
    ASSERT_EQ(old.SetValue(std::int32_t{2}, "B"), 0);
    old.CloseKey();
    EXPECT_EQ(writeAsOneGroup([&] {
                  EXPECT_EQ(list.SetValue(std::string("After"), "Kept"), 0);
                  EXPECT_EQ(list.SetValue(std::string("x"), "Added"), 0);
                  EXPECT_EQ(list.DeleteSubKey("Old"), 0);
                  CRegKey fresh = created("New\\Deeper");
                  EXPECT_EQ(fresh.SetValue(std::string("y"), "V"), 0);
                  fresh.CloseKey();
                  return ERROR_INVALID_PARAMETER;
              }),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(textAt(list, "Kept"), "Before");
    EXPECT_EQ(valuesOf(list), Names{"Kept"});
    EXPECT_EQ(subkeysOf(list), Names{"Old"});
    old = created("Old");
    EXPECT_EQ(valuesOf(old), (Names{"A", "B"}));
    EXPECT_EQ(textAt(old, "B"), "2");
    old.CloseKey();
    EXPECT_EQ(writeAsOneGroup([&] { return list.SetValue(std::string("x"), "Added"); }), 0);
    EXPECT_EQ(textAt(list, "Added"), "x");
    list.CloseKey();
}

// Every name means one key: a leading backslash, backslashes alone or a NUL (where the platform's
// C strings end) is refused, never read as another key's or value's name; trailing backslashes
// name the key itself; a key with subkeys is not deleted by DeleteSubKey.
TEST(CRegKeyContract, PathsNameOneKeyAndDeleteSubKeyDeletesOne) {
    ScratchKey scratch;
    CRegKey parent = created();
    created("X\\Y").CloseKey();
    CRegKey key;
    for (const std::string& path : {std::string("\\"), std::string("\\\\"), std::string("X\0Y", 3),
                                    std::string("X\\Y\0Z", 5)}) {
        EXPECT_EQ(key.Create(parent.m_hKey, path), ERROR_BAD_PATHNAME) << path;
        EXPECT_EQ(key.m_hKey, 0u);
        EXPECT_EQ(key.OpenKey(parent.m_hKey, path), ERROR_BAD_PATHNAME) << path;
    }
    EXPECT_EQ(key.Create(parent.m_hKey, "\\Lead"), ERROR_BAD_PATHNAME);
    EXPECT_EQ(parent.DeleteSubKey("\\Lead"), ERROR_BAD_PATHNAME);
    EXPECT_EQ(parent.DeleteSubKey(std::string("X\\Y\0Z", 5)), ERROR_BAD_PATHNAME);
    EXPECT_EQ(parent.RecurseDeleteKey(std::string("X\0Y", 3)), ERROR_BAD_PATHNAME);
    EXPECT_EQ(parent.DeleteSubKey("X"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(parent.DeleteSubKey("Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(subkeysOf(parent), Names{"X"});
    EXPECT_TRUE(exists("X\\Y"));
    EXPECT_EQ(parent.DeleteSubKey("X\\Y"), 0); // the key above it stays
    EXPECT_EQ(subkeysOf(parent), Names{"X"});

    const std::string nulName("V\0W", 3);
    ASSERT_EQ(parent.SetValue(std::string("v"), "V"), 0);
    EXPECT_EQ(parent.SetValue(std::string("w"), nulName), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(textAt(parent, nulName), "<code 2>");
    EXPECT_EQ(parent.DeleteValue(nulName), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(textAt(parent, "V"), "v");

    ASSERT_EQ(key.Create(parent.m_hKey, "Trail\\"), 0);
    ASSERT_EQ(key.SetValue(std::string("t"), "V"), 0);
    key.CloseKey();
    ASSERT_EQ(key.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path("Trail\\\\")), 0);
    EXPECT_EQ(textAt(key, "V"), "t");
    key.CloseKey();
    EXPECT_EQ(subkeysOf(parent), (Names{"Trail", "X"}));
    EXPECT_EQ(parent.DeleteSubKey("Trail\\"), 0);
    EXPECT_FALSE(exists("Trail"));
    parent.CloseKey();
}

// An empty part inside a path, or a third trailing backslash, is a bad path.
TEST(CRegKeyContract, AnEmptyPartInsideAPathIsABadPath) {
    SKIP_WHERE_WINE_DIFFERS("Wine reads any run of backslashes as one");
    ScratchKey scratch;
    CRegKey parent = created();
    created("X\\Y").CloseKey();
    CRegKey key;
    for (const char* path : {"X\\\\Y", "Z\\\\Y\\", "X\\Y\\\\\\"}) {
        EXPECT_EQ(key.Create(parent.m_hKey, path), ERROR_BAD_PATHNAME) << path;
        EXPECT_EQ(key.OpenKey(parent.m_hKey, path), ERROR_BAD_PATHNAME) << path;
        EXPECT_EQ(parent.DeleteSubKey(path), ERROR_BAD_PATHNAME) << path;
    }
    EXPECT_EQ(subkeysOf(parent), Names{"X"});
    parent.CloseKey();
}

// Names differing only in letter case, Windows-1252 letters too, are one name; a key keeps its
// first spelling.
TEST(CRegKeyContract, NamesDifferingOnlyInLetterCaseAreOneName) {
    ScratchKey scratch;
    CRegKey key = created("CaseKey");
    ASSERT_EQ(key.SetValue(std::string("first"), "Port"), 0);
    ASSERT_EQ(key.SetValue(std::string("second"), "PORT"), 0);
    EXPECT_EQ(textAt(key, "pOrT"), "second");
    EXPECT_EQ(valuesOf(key), Names{"Port"});
    EXPECT_EQ(key.DeleteValue("port"), 0);
    ASSERT_EQ(key.SetValue(std::string("fruit"), "\xC3\x84pfel"), 0);
    EXPECT_EQ(textAt(key, "\xC3\xA4PFEL"), "fruit");
    key.CloseKey();
    CRegKey accented = created("Caf\xC3\xA9");
    ASSERT_EQ(accented.SetValue(std::string("hot"), "Drink"), 0);
    accented.CloseKey();
    CRegKey upper = created("CAF\xC3\x89");
    EXPECT_EQ(textAt(upper, "drink"), "hot");
    upper.CloseKey();
    CRegKey parent = created();
    EXPECT_EQ(subkeysOf(parent), (Names{"Caf\xE9", "CaseKey"}));
    parent.CloseKey();
}

// Value names up to 16383 characters and key names up to 255; no value can have a longer name,
// so asking for one or deleting it finds nothing. An empty name is the default value.
TEST(CRegKeyContract, NamesUpToTheLimit) {
    ScratchKey scratch;
    CRegKey key = created();
    const std::string longest(16383, 'v');
    const std::string tooLong(16384, 'v');
    EXPECT_EQ(key.SetValue(std::string("x"), longest), 0);
    EXPECT_EQ(textAt(key, longest), "x");
    EXPECT_EQ(key.SetValue(std::string("x"), tooLong), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(textAt(key, tooLong), "<code 2>");
    EXPECT_EQ(key.DeleteValue(tooLong), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.DeleteValue(longest), 0);
    EXPECT_EQ(key.SetValue(std::string("default"), ""), 0);
    EXPECT_EQ(textAt(key, ""), "default");
    CRegKey sub;
    ASSERT_EQ(sub.Create(key.m_hKey, std::string(255, 'k')), 0);
    sub.CloseKey();
    EXPECT_EQ(key.DeleteSubKey(std::string(255, 'k')), 0);
    key.CloseKey();
}

TEST(CRegKeyContract, KeyNamesOverTheLimitAreInvalid) {
    SKIP_WHERE_WINE_DIFFERS("Wine accepts key names of 256 characters and refuses 257");
    ScratchKey scratch;
    CRegKey parent = created();
    CRegKey key;
    EXPECT_EQ(key.Create(parent.m_hKey, std::string(256, 'k')), ERROR_INVALID_PARAMETER);
    parent.CloseKey();
}

// RecurseDeleteKey removes a tree as deep as the platform documents (512 levels below the root,
// the scratch key's two included; made 30 levels per call, as the platform allows up to 32). Its
// enumeration buffer holds 128 characters with the NUL: 127 fit, 128 give 234.
TEST(CRegKeyContract, RecurseDeleteKeyRemovesATreeAndStopsAtANameTooLongForItsBuffer) {
    ScratchKey scratch;
    CRegKey deepest = created();
    for (int made = 0; made < 510;) {
        std::string path = "d";
        for (++made; made % 30 != 0 && made < 510; ++made) {
            path += "\\d";
        }
        CRegKey below;
        ASSERT_EQ(below.Create(deepest.m_hKey, path), 0) << made;
        deepest.CloseKey();
        deepest = below;
    }
    ASSERT_EQ(deepest.SetValue(std::string("bottom"), "V"), 0);
    deepest.CloseKey();
    CRegKey keep = created("Keep");
    ASSERT_EQ(keep.SetValue(std::string("kept"), "V"), 0);
    created("Fits\\" + std::string(127, 'm')).CloseKey();
    created("TooLong\\" + std::string(128, 'n')).CloseKey();
    CRegKey parent = created();
    EXPECT_EQ(parent.RecurseDeleteKey("d"), 0);
    EXPECT_EQ(parent.RecurseDeleteKey("d"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(parent.RecurseDeleteKey("Fits"), 0);
    EXPECT_EQ(parent.RecurseDeleteKey("TooLong"), ERROR_MORE_DATA);
    EXPECT_TRUE(exists("TooLong\\" + std::string(128, 'n')));
    EXPECT_EQ(parent.DeleteSubKey("TooLong\\" + std::string(128, 'n')), 0);
    EXPECT_EQ(parent.DeleteSubKey("TooLong"), 0);
    EXPECT_EQ(subkeysOf(parent), Names{"Keep"});
    EXPECT_EQ(textAt(keep, "V"), "kept");
    keep.CloseKey();
    parent.CloseKey();
}
