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
using Names = std::vector<std::string>;

TEST(CRegKeyContract, QueryValueReadsUpToTheBufferSizeAndFollowsTheDocumentedChoices) {
    ScratchKey scratch;
    CRegKey key = created();
    const std::string text63(63, 'x');
    const std::string text64(64, 'y');
    ASSERT_EQ(key.SetValue(text63, "Short"), 0);
    ASSERT_EQ(key.SetValue(text64, "Long"), 0);
    Dword type = REG_NONE;
    EXPECT_EQ(queried(key, "Short", DEFAULT_BUFFER_SIZE, type), Answer(0, text63, 64));
    EXPECT_EQ(type, REG_SZ);
    // Too long: the value is left as it was and the size needed told; a read with it succeeds.
    EXPECT_EQ(queried(key, "Long"), Answer(ERROR_MORE_DATA, UNTOUCHED, 65));
    EXPECT_EQ(queried(key, "Long", 65), Answer(0, text64, 65));
    const Answer missing = queried(key, "Missing");
    EXPECT_EQ(std::get<0>(missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(std::get<1>(missing), UNTOUCHED);

    const unsigned char bytes[] = {1, 2, 3};
    ASSERT_EQ(backend().setValue(key.m_hKey, "Binary", REG_BINARY, bytes, 3), 0);
    ASSERT_EQ(backend().setValue(key.m_hKey, "Empty", REG_SZ, nullptr, 0), 0);
    // Three bytes counted, no NUL among them, and no NUL right after them either (the platform
    // counts a NUL that follows the data as if the caller had).
    const unsigned char noNul[] = {'a', 'b', 'c', 'd'};
    ASSERT_EQ(backend().setValue(key.m_hKey, "NoNul", REG_SZ, noNul, 3), 0);
    const unsigned char shortNumber[] = {7, 0};
    ASSERT_EQ(backend().setValue(key.m_hKey, "ShortNumber", REG_DWORD, shortNumber, 2), 0);
    ASSERT_EQ(key.SetValue(std::int32_t{9}, "Number"), 0);

    const auto valueOf = [&](const char* name) {
        const Answer answer = queried(key, name);
        EXPECT_EQ(std::get<0>(answer), 0) << name;
        return std::get<1>(answer);
    };
    EXPECT_EQ(queried(key, "Binary", DEFAULT_BUFFER_SIZE, type), Answer(0, UNTOUCHED, 3));
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(valueOf("Empty"), RegValue(std::string()));
    EXPECT_EQ(valueOf("NoNul"), RegValue(std::string("abc")));
    // The second, integer read gets the data's 2 bytes; the rest of the integer stays zero.
    EXPECT_EQ(valueOf("ShortNumber"), RegValue(std::int32_t{7}));
    // A size too small for the integer fails the first read with the size needed.
    EXPECT_EQ(queried(key, "Number", 3), Answer(ERROR_MORE_DATA, UNTOUCHED, 4));
    key.CloseKey();
}

// A size of 0 is a buffer too small, not a request for the size alone; data over a mebibyte is read
// whole once the size holds it, so a caller that grows its size to the one told gets the data.
TEST(CRegKeyContract, ReadsWithNoRoomAndOfDataOverAMebibyte) {
    ScratchKey scratch;
    CRegKey key = created();
    const std::string large((1u << 20) + 10, 'L');
    const auto largeSize = static_cast<Dword>(large.size() + 1);
    ASSERT_EQ(key.SetValue(std::string("hello"), "Small"), 0);
    ASSERT_EQ(key.SetValue(large, "Large"), 0);
    EXPECT_EQ(queried(key, "Small", 0), Answer(ERROR_MORE_DATA, UNTOUCHED, 6));
    EXPECT_EQ(queried(key, "Large"), Answer(ERROR_MORE_DATA, UNTOUCHED, largeSize));
    EXPECT_EQ(queried(key, "Large", largeSize), Answer(0, large, largeSize));
    ASSERT_EQ(key.SetValue(std::int32_t{5}, "Number"), 0);
    EXPECT_EQ(queried(key, "Number", 0), Answer(ERROR_MORE_DATA, UNTOUCHED, 4));

    CRegKey one = created("OneValue");
    ASSERT_EQ(one.SetValue(std::string("hello"), "Small"), 0);
    std::string name = "untouched";
    RegValue value = UNTOUCHED;
    Dword type = REG_NONE;
    Dword nameSize = DEFAULT_BUFFER_SIZE;
    Dword valueSize = 0;
    EXPECT_EQ(one.EnumValue(0, name, type, value, nameSize, valueSize), ERROR_MORE_DATA);
    EXPECT_EQ(valueSize, 6u);
    EXPECT_EQ(value, UNTOUCHED);
    one.CloseKey();
    key.CloseKey();
}

// (Text keeps its NUL: the 63 characters above are told as 64 bytes.)
TEST(CRegKeyContract, IntegersAreFourBytesEitherWay) {
    ScratchKey scratch;
    Dword type = REG_NONE;
    // The key holds this one value, so it is at index 0 in any enumeration order.
    CRegKey numbers = created("Numbers");
    for (const std::int32_t number :
         {-2, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()}) {
        SCOPED_TRACE(number);
        ASSERT_EQ(numbers.SetValue(number, "Number"), 0);
        EXPECT_EQ(queried(numbers, "Number", DEFAULT_BUFFER_SIZE, type), Answer(0, number, 4));
        EXPECT_EQ(type, REG_DWORD);
        EXPECT_EQ(textOf(number), std::to_string(number));
        EXPECT_EQ(listed(numbers, 0, type), Listed(0, "Number", number, 6, 4));
        EXPECT_EQ(type, REG_DWORD);
    }
    // A value written again with another type is replaced, type and all.
    ASSERT_EQ(numbers.SetValue(std::string("now text"), "Number"), 0);
    EXPECT_EQ(queried(numbers, "Number", DEFAULT_BUFFER_SIZE, type), Answer(0, "now text", 9));
    EXPECT_EQ(type, REG_SZ);
    numbers.CloseKey();
}

TEST(CRegKeyContract, EnumValueWalksToTheEndAndRefusesWhatItsBuffersCannotHold) {
    ScratchKey scratch;
    CRegKey key = created();
    // Created in name order, so the walk is the same whatever order the registry keeps.
    ASSERT_EQ(key.SetValue(std::string("one"), "First"), 0);
    ASSERT_EQ(key.SetValue(std::int32_t{-2}, "Second"), 0);
    Dword type = REG_NONE;
    EXPECT_EQ(listed(key, 0, type), Listed(0, "First", "one", 5, 4));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(listed(key, 1, type), Listed(0, "Second", -2, 6, 4));
    EXPECT_EQ(type, REG_DWORD);
    expectListingRefused(key, 2, ERROR_NO_MORE_ITEMS);

    // Each key holds one value, so index 0 is that value. A name of 64 characters needs 65 with
    // its NUL: the name's room is left as it was, and the data's size is told.
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
    for (CRegKey* held : {&key, &longName, &longestName, &longData}) {
        held->CloseKey();
    }
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
    SKIP_WHERE_WINE_DIFFERS("Wine compares subkey names in lower case, so '_' sorts before the "
                            "letters; Windows compares them in upper case, so it sorts after");
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

    // Create of an existing key opens it, its values untouched; the held handle is replaced, not
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

    // An open of no subkey hands back the same handle, so one close: the second holder's close
    // finds it gone. The predefined root comes back as itself and closing it changes nothing.
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

    // Created again under the same name it is a new, empty key.
    CRegKey fresh = created("Doomed");
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

    const Status failed = writeAsOneGroup([&] {
        EXPECT_EQ(list.SetValue(std::string("After"), "Kept"), 0);
        EXPECT_EQ(list.SetValue(std::string("x"), "Added"), 0);
        EXPECT_EQ(list.DeleteSubKey("Old"), 0);
        CRegKey fresh = created("New\\Deeper");
        EXPECT_EQ(fresh.SetValue(std::string("y"), "V"), 0);
        fresh.CloseKey();
        return ERROR_INVALID_PARAMETER;
    });
    EXPECT_EQ(failed, ERROR_INVALID_PARAMETER);
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

TEST(CRegKeyContract, DeleteSubKeyRefusesAKeyThatStillHasSubkeys) {
    ScratchKey scratch;
    CRegKey parent = created();
    created("Host\\Inner").CloseKey();
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
    EXPECT_EQ(key.Create(parent.m_hKey, "\\Lead"), ERROR_BAD_PATHNAME);
    EXPECT_EQ(parent.DeleteSubKey("\\Lead"), ERROR_BAD_PATHNAME);
    EXPECT_FALSE(exists("Lead"));

    // Trailing backslashes name the same key as the path without them.
    ASSERT_EQ(key.Create(parent.m_hKey, "Trail\\"), 0);
    ASSERT_EQ(key.SetValue(std::string("t"), "V"), 0);
    key.CloseKey();
    ASSERT_EQ(key.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path("Trail\\\\")), 0);
    EXPECT_EQ(textAt(key, "V"), "t");
    key.CloseKey();
    EXPECT_EQ(subkeysOf(parent), Names{"Trail"});
    EXPECT_EQ(parent.DeleteSubKey("Trail\\"), 0);
    EXPECT_FALSE(exists("Trail"));
    parent.CloseKey();
}

// Every name means one key: a path of backslashes alone, or a name holding a NUL (where the
// platform's C strings end), is refused rather than read as the name of some other key or value.
TEST(CRegKeyContract, NamesThatWouldReachAnotherKeyAreRefused) {
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
    EXPECT_EQ(parent.DeleteSubKey(std::string("X\\Y\0Z", 5)), ERROR_BAD_PATHNAME);
    EXPECT_EQ(parent.RecurseDeleteKey(std::string("X\0Y", 3)), ERROR_BAD_PATHNAME);
    EXPECT_TRUE(exists("X\\Y"));

    const std::string nulName("V\0W", 3);
    ASSERT_EQ(parent.SetValue(std::string("v"), "V"), 0);
    EXPECT_EQ(parent.SetValue(std::string("w"), nulName), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(textAt(parent, nulName), "<code 2>");
    EXPECT_EQ(parent.DeleteValue(nulName), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(textAt(parent, "V"), "v");
    parent.CloseKey();
}

// An empty part inside a path is a bad path, as is a third trailing backslash (one or two name the
// key itself, as Windows reads them: see LeadingAndTrailingBackslashes).
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

TEST(CRegKeyContract, NamesDifferingOnlyInLetterCaseAreOneName) {
    ScratchKey scratch;
    CRegKey key = created("CaseKey");
    ASSERT_EQ(key.SetValue(std::string("first"), "Port"), 0);
    ASSERT_EQ(key.SetValue(std::string("second"), "PORT"), 0);
    EXPECT_EQ(textAt(key, "pOrT"), "second");
    EXPECT_EQ(valuesOf(key), Names{"Port"});
    EXPECT_EQ(key.DeleteValue("port"), 0);

    // Windows-1252 letters fold too: "Äpfel" and "äPFEL", "Café" and "CAFÉ".
    ASSERT_EQ(key.SetValue(std::string("fruit"), "\xC3\x84pfel"), 0);
    EXPECT_EQ(textAt(key, "\xC3\xA4PFEL"), "fruit");
    key.CloseKey();

    // A key created under another spelling is the same key and keeps its first spelling.
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

TEST(CRegKeyContract, RecurseDeleteKeyRemovesATreeAndStopsAtANameTooLongForItsBuffer) {
    ScratchKey scratch;
    for (const std::string branch : {"One", "Two"}) {
        CRegKey leaf = created("Tree\\" + branch + "\\Inner\\Deepest");
        ASSERT_EQ(leaf.SetValue(std::string("leaf"), "Deep"), 0);
        leaf.CloseKey();
    }
    CRegKey keep = created("Keep");
    ASSERT_EQ(keep.SetValue(std::string("kept"), "V"), 0);
    const std::string tooLong(128, 'n');
    created("Fits\\" + std::string(127, 'm')).CloseKey();
    created("TooLong\\" + tooLong).CloseKey();

    CRegKey parent = created();
    EXPECT_EQ(parent.RecurseDeleteKey("Tree"), 0);
    EXPECT_EQ(parent.RecurseDeleteKey("Tree"), ERROR_FILE_NOT_FOUND);
    // The enumeration's buffer holds 128 characters with the NUL: 127 fit, 128 give 234.
    EXPECT_EQ(parent.RecurseDeleteKey("Fits"), 0);
    EXPECT_EQ(parent.RecurseDeleteKey("TooLong"), ERROR_MORE_DATA);
    EXPECT_TRUE(exists("TooLong\\" + tooLong));
    // Removed one key at a time instead, which is also what the scratch key's removal needs.
    EXPECT_EQ(parent.DeleteSubKey("TooLong\\" + tooLong), 0);
    EXPECT_EQ(parent.DeleteSubKey("TooLong"), 0);
    // Nothing else was touched.
    EXPECT_EQ(subkeysOf(parent), Names{"Keep"});
    EXPECT_EQ(textAt(keep, "V"), "kept");
    keep.CloseKey();
    parent.CloseKey();
}

// As deep as the platform documents a tree (512 levels below the root, the scratch key's two
// included), made 30 levels per call as the platform allows up to 32, and removed whole.
TEST(CRegKeyContract, RecurseDeleteKeyRemovesATreeOfTheDeepestDepth) {
    ScratchKey scratch;
    constexpr int LEVELS = 510;
    CRegKey deepest = created();
    for (int made = 0; made < LEVELS;) {
        std::string path = "d";
        for (++made; made % 30 != 0 && made < LEVELS; ++made) {
            path += "\\d";
        }
        CRegKey below;
        ASSERT_EQ(below.Create(deepest.m_hKey, path), 0) << made;
        deepest.CloseKey();
        deepest = below;
    }
    ASSERT_EQ(deepest.SetValue(std::string("bottom"), "V"), 0);
    deepest.CloseKey();
    CRegKey parent = created();
    EXPECT_EQ(parent.RecurseDeleteKey("d"), 0);
    EXPECT_EQ(subkeysOf(parent), Names{});
    parent.CloseKey();
}
