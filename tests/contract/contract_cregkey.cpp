// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// What CRegKey promises, built for the substitute and for Windows (under Wine), which judges it.
#include "ContractSupport.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace zeb::reg;
using namespace contract;
using Names = std::vector<std::string>;

// A caller growing its buffer to the size told gets the data, over a mebibyte too; 0 is too small.
TEST(CRegKeyContract, ReadsTellTheSizeNeededAndLeaveTheCallersVariablesAlone) {
    ScratchKey scratch;
    CRegKey key = created();
    const std::string text64(64, 'y'), large((1u << 20) + 10, 'L');
    const auto largeSize = static_cast<Dword>(large.size() + 1);
    ASSERT_TRUE(key.SetValue(text64, "Long") == 0 && key.SetValue(large, "Large") == 0);
    EXPECT_EQ(queried(key, "Long"), Answer(ERROR_MORE_DATA, UNTOUCHED, 65));
    EXPECT_EQ(queried(key, "Long", 65), Answer(0, text64, 65));
    EXPECT_EQ(queried(key, "Long", 0), Answer(ERROR_MORE_DATA, UNTOUCHED, 65));
    EXPECT_EQ(queried(key, "Large"), Answer(ERROR_MORE_DATA, UNTOUCHED, largeSize));
    EXPECT_EQ(queried(key, "Large", largeSize), Answer(0, large, largeSize));
    EXPECT_EQ(queried(key, "Missing"), Answer(ERROR_FILE_NOT_FOUND, UNTOUCHED, 64));
    // Three bytes of text without a NUL, and a number of two bytes: the rest stays zero.
    ASSERT_EQ(probe::setBytes(backend(), key.m_hKey, "NoNul", REG_SZ, "abc"), 0);
    ASSERT_EQ(probe::setBytes(backend(), key.m_hKey, "Short", REG_DWORD, {"\7", 2}), 0);
    EXPECT_EQ(std::get<1>(queried(key, "NoNul")), RegValue(std::string("abc")));
    EXPECT_EQ(queried(key, "Short"), Answer(0, std::int32_t{7}, 2));
    key.CloseKey();
}

// Names read at once are those the walk gives, in its order, up to its first failure.
TEST(CRegKeyContract, EnumValueNamesStopsWhereTheWalkStops) {
    ScratchKey scratch;
    CRegKey key = created("Names");
    ASSERT_EQ(key.SetValue(std::string("x"), "A"), 0);     // in name order, which Wine keeps
    ASSERT_EQ(key.SetValue(std::string(64, 'd'), "d"), 0); // 65 bytes with its NUL
    ASSERT_EQ(key.SetValue(std::string("x"), "e"), 0);
    Names names;
    EXPECT_EQ(key.EnumValueNames(names), ERROR_MORE_DATA);
    EXPECT_EQ(names, Names{"A"});
    CRegKey parent = created();
    ASSERT_EQ(parent.DeleteSubKey("Names"), 0);
    EXPECT_EQ(key.EnumValueNames(names), ERROR_KEY_DELETED);
    CRegKey hardware; // a key the back end makes up rather than stores ends its list alike
    ASSERT_EQ(hardware.OpenKey(HKEY_LOCAL_MACHINE, "HARDWARE", KEY_READ), 0);
    EXPECT_EQ(hardware.EnumValueNames(names), 0);
    hardware.CloseKey();
    parent.CloseKey();
    key.CloseKey();
}

// Every name means one key: a NUL, where the platform's C strings end, is refused, never cut there;
// letter case, of Windows-1252 letters too, makes no other name.
TEST(CRegKeyContract, PathsNameOneKeyAndDeleteSubKeyDeletesOne) {
    ScratchKey scratch;
    CRegKey parent = created();
    created("X\\Y").CloseKey();
    CRegKey key;
    for (const std::string& path : {std::string("\\Lead"), std::string("\\\\"),
                                    std::string("X\0Y", 3), std::string("X\\Y\0Z", 5)}) {
        EXPECT_EQ(key.Create(parent.m_hKey, path), ERROR_BAD_PATHNAME) << path;
        EXPECT_EQ(key.OpenKey(parent.m_hKey, path), ERROR_BAD_PATHNAME) << path;
        EXPECT_EQ(parent.DeleteSubKey(path), ERROR_BAD_PATHNAME) << path;
    }
    EXPECT_EQ(parent.RecurseDeleteKey(std::string("X\0Y", 3)), ERROR_BAD_PATHNAME);
    EXPECT_EQ(parent.DeleteSubKey("X"), ERROR_ACCESS_DENIED);
    ASSERT_EQ(parent.SetValue(std::string("v"), "V"), 0);
    EXPECT_EQ(parent.SetValue(std::string("w"), std::string("V\0W", 3)), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(textAt(parent, "V"), "v");
    ASSERT_EQ(key.Create(parent.m_hKey, "Caf\xC3\xA9\\\\"), 0);
    ASSERT_EQ(key.SetValue(std::string("t"), "\xC3\x84pfel"), 0);
    key.CloseKey();
    ASSERT_EQ(key.OpenKey(HKEY_LOCAL_MACHINE, ScratchKey::path("CAF\xC3\x89")), 0);
    EXPECT_EQ(textAt(key, "\xC3\xA4PFEL"), "t");
    key.CloseKey();
    EXPECT_EQ(subkeysOf(parent), (Names{"Caf\xE9", "X"}));
    parent.CloseKey();
}

// The Windows build has no transaction: there a failed group undoes its writes one by one. What a
// group remembers of keys it read never stands in for a key deleted since.
TEST(CRegKeyContract, AFailedGroupLeavesEveryKeyAsItWasAndNoGroupWritesThroughADeletedKey) {
    ScratchKey scratch;
    CRegKey list = created(), undone; // undone: made by the group that fails
    ASSERT_EQ(list.SetValue(std::string("Before"), "Kept"), 0);
    ASSERT_EQ(created("Old").SetValue(std::int32_t{2}, "B"), 0);
    EXPECT_EQ(writeAsOneGroup([&] {
                  EXPECT_EQ(list.SetValue(std::string("After"), "Kept"), 0);
                  EXPECT_EQ(list.SetValue(std::string("x"), "Added"), 0);
                  EXPECT_EQ(list.DeleteSubKey("Old"), 0);
                  EXPECT_EQ((undone = created("New\\Deeper")).SetValue(std::string("y"), "V"), 0);
                  return ERROR_INVALID_PARAMETER;
              }),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(writeAsOneGroup([&] { return undone.SetValue(std::string("z"), "W"); }),
              ERROR_KEY_DELETED);
    EXPECT_EQ(std::tuple(textAt(list, "Kept"), textAt(list, "Added"), subkeysOf(list)),
              std::tuple("Before", "<code 2>", Names{"Old"}));
    CRegKey old = created("Old");
    EXPECT_EQ(textAt(old, "B"), "2");
    old.CloseKey();
    CRegKey gone = created("Gone");
    EXPECT_EQ(backend().runAtomically([&] {
        EXPECT_EQ(list.DeleteSubKey("Gone"), 0);
        return gone.SetValue(std::string("x"), "v");
    }),
              ERROR_KEY_DELETED);
    gone.CloseKey();
    list.CloseKey();
}

// 512 levels, as documented (30 made per call, of 32 allowed); 127 characters fit its buffer.
TEST(CRegKeyContract, RecurseDeleteKeyRemovesATreeAndStopsAtANameTooLongForItsBuffer) {
    ScratchKey scratch;
    std::string thirtyLevels = "d";
    while (thirtyLevels.size() < 59) {
        thirtyLevels += "\\d";
    }
    CRegKey deepest = created();
    for (int made = 0; made < 510; made += 30) {
        CRegKey below;
        ASSERT_EQ(below.Create(deepest.m_hKey, thirtyLevels), 0) << made;
        deepest.CloseKey();
        deepest = below;
    }
    deepest.CloseKey();
    created("Fits\\" + std::string(127, 'm')).CloseKey();
    created("TooLong\\" + std::string(128, 'n')).CloseKey();
    CRegKey parent = created();
    EXPECT_EQ((std::tuple{parent.RecurseDeleteKey("d"), parent.RecurseDeleteKey("Fits"),
                          parent.RecurseDeleteKey("TooLong"), subkeysOf(parent)}),
              std::tuple(0, 0, ERROR_MORE_DATA, Names{"TooLong"}));
    parent.CloseKey();
}
