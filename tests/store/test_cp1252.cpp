// Windows-1252 at the store's boundary: conversion both ways and the case folding of names.
#include "CRegKey.h"
#include "Cp1252.h"
#include "ScratchStore.h"

#include <gtest/gtest.h>

using namespace zeb::reg;

TEST(Cp1252, ConvertsBothWaysAndFoldsLetters) {
    EXPECT_EQ(toCp1252("Caf\xC3\xA9 \xC2\xA0\xC3\xBF \xE2\x82\xAC\xC5\xA0\xC5\xB8\xE2\x84\xA2"),
              "Caf\xE9 \xA0\xFF \x80\x8A\x9F\x99");
    // One '?' per character without a byte (CJK, a 4-byte emoji, Greek), per stray or truncating
    // byte, and per forbidden sequence (an overlong '/'); nothing after them is lost.
    EXPECT_EQ(toCp1252("\xE4\xB8\xAD|\xF0\x9F\x98\x80|\xCE\xA9"), "?|?|?");
    EXPECT_EQ(toCp1252("a\x80z\xE2\x82z\xC0\xAF!"), "a?z??z?!");
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
    EXPECT_EQ(fromCp1252("\x80\xE9\x81"), "\xE2\x82\xAC\xC3\xA9\xC2\x81");
    EXPECT_EQ(foldCp1252("abcXYZ_09\xE0\xE9\xFE\xF7\xDF"), "ABCXYZ_09\xC0\xC9\xDE\xF7\xDF");
    EXPECT_EQ(foldCp1252("\x9A\x9C\x9E\xFF\x8A\xC0\xB5"), "\x8A\x8C\x8E\x9F\x8A\xC0\xB5");
}

// In the store one byte per character, the unrepresentable one as '?'; UTF-8 outside.
TEST(Cp1252, CRegKeyStoresWindows1252AndReadsUtf8) {
    ScratchStore store;
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Caf\xC3\xA9"), 0);
    ASSERT_EQ(key.SetValue(std::string("\xE2\x82\xAC 5 \xE4\xB8\xAD"), "N\xC3\xA4me"), 0);
    unsigned char raw[16] = {};
    Dword size = sizeof raw;
    ASSERT_EQ(backend().queryValue(key.m_hKey, "N\xE4me", nullptr, raw, &size), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(raw), size), std::string("\x80 5 ?\0", 6));
    Dword type = REG_SZ;
    RegValue value;
    std::string name;
    EXPECT_EQ(key.EnumValue(0, name, type, value), 0);
    EXPECT_EQ(name, "N\xC3\xA4me");
    EXPECT_EQ(value, RegValue(std::string("\xE2\x82\xAC 5 ?")));
    key.CloseKey();
}
