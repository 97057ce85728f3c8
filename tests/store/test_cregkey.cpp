// CRegKey over an in-memory store: the wrapper's own rules (sizes, NUL, second integer read,
// handle replacement, recursive delete, UTF-8 at the boundary).
#include "CRegKey.h"
#include "ForwardingBackend.h"
#include "ScratchStore.h"

#include <gtest/gtest.h>

using namespace zeb::reg;

namespace {

constexpr const char* KEY = "SOFTWARE\\Test";

// A held key below HKEY_LOCAL_MACHINE, created for the test.
CRegKey createdKey(const std::string& path = KEY) {
    CRegKey key;
    EXPECT_EQ(key.Create(HKEY_LOCAL_MACHINE, path), 0);
    return key;
}

std::string untouched() {
    return "untouched";
}

} // namespace

TEST(CRegKey, QueryValueReadsTextUpToTheBufferSize) {
    ScratchStore store;
    CRegKey key = createdKey();
    const std::string text63(63, 'x');
    const std::string text64(64, 'y');
    ASSERT_EQ(key.SetValue(text63, "Short"), 0);
    ASSERT_EQ(key.SetValue(text64, "Long"), 0);

    Dword type = REG_SZ;
    Dword size = DEFAULT_BUFFER_SIZE;
    RegValue value = untouched();
    EXPECT_EQ(key.QueryValue("Short", type, value, size), 0);
    EXPECT_EQ(value, RegValue(text63));
    EXPECT_EQ(size, 64u);
    EXPECT_EQ(type, REG_SZ);

    size = DEFAULT_BUFFER_SIZE;
    value = untouched();
    EXPECT_EQ(key.QueryValue("Long", type, value, size), ERROR_MORE_DATA);
    EXPECT_EQ(value, RegValue(untouched()));
    EXPECT_EQ(size, 65u);

    EXPECT_EQ(key.QueryValue("Missing", type, value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value, RegValue(untouched()));
    EXPECT_EQ(key.CloseKey(), 0);
}

TEST(CRegKey, SetValueStoresTextWithOneNulAndIntegersAsFourBytes) {
    ScratchStore store;
    CRegKey key = createdKey();
    ASSERT_EQ(key.SetValue(std::string("1"), "Mark"), 0);
    ASSERT_EQ(key.SetValue(std::int32_t{5}, "Number"), 0);

    Dword type = REG_NONE;
    Dword size = 100;
    unsigned char raw[100] = {};
    ASSERT_EQ(backend().queryValue(key.m_hKey, "Mark", &type, raw, &size), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(raw[0], '1');
    EXPECT_EQ(raw[1], '\0');

    RegValue value = untouched();
    size = DEFAULT_BUFFER_SIZE;
    EXPECT_EQ(key.QueryValue("Mark", type, value, size), 0);
    EXPECT_EQ(value, RegValue(std::string("1")));
    EXPECT_EQ(size, 2u);

    type = REG_SZ;
    size = DEFAULT_BUFFER_SIZE;
    EXPECT_EQ(key.QueryValue("Number", type, value, size), 0);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, RegValue(std::int32_t{5}));
    EXPECT_EQ(textOf(value), "5");

    // A value replaced by one of another type is simply replaced.
    ASSERT_EQ(key.SetValue(std::string("now text"), "Number"), 0);
    EXPECT_EQ(key.QueryValue("Number", type, value), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(value, RegValue(std::string("now text")));
    key.CloseKey();
}

TEST(CRegKey, ReadsOfOddDataFollowTheDocumentedChoices) {
    ScratchStore store;
    CRegKey key = createdKey();
    const unsigned char bytes[] = {1, 2, 3};
    ASSERT_EQ(backend().setValue(key.m_hKey, "Binary", REG_BINARY, bytes, 3), 0);
    ASSERT_EQ(backend().setValue(key.m_hKey, "Empty", REG_SZ, nullptr, 0), 0);
    const unsigned char noNul[] = {'a', 'b', 'c'};
    ASSERT_EQ(backend().setValue(key.m_hKey, "NoNul", REG_SZ, noNul, 3), 0);
    const unsigned char shortNumber[] = {7, 0};
    ASSERT_EQ(backend().setValue(key.m_hKey, "ShortNumber", REG_DWORD, shortNumber, 2), 0);

    Dword type = REG_SZ;
    RegValue value = untouched();
    EXPECT_EQ(key.QueryValue("Binary", type, value), 0);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(value, RegValue(untouched()));

    EXPECT_EQ(key.QueryValue("Empty", type, value), 0);
    EXPECT_EQ(value, RegValue(std::string()));

    EXPECT_EQ(key.QueryValue("NoNul", type, value), 0);
    EXPECT_EQ(value, RegValue(std::string("abc")));

    // The second, integer read gets the data's 2 bytes; the rest of the integer stays zero.
    EXPECT_EQ(key.QueryValue("ShortNumber", type, value), 0);
    EXPECT_EQ(value, RegValue(std::int32_t{7}));

    // A size too small for the integer fails the second read, which is the result.
    ASSERT_EQ(key.SetValue(std::int32_t{9}, "Number"), 0);
    value = untouched();
    Dword size = 3;
    EXPECT_EQ(key.QueryValue("Number", type, value, size), ERROR_MORE_DATA);
    EXPECT_EQ(value, RegValue(untouched()));
    key.CloseKey();
}

TEST(CRegKey, EnumValueWalksInOrderAndStopsAtTheEndOrALongName) {
    ScratchStore store;
    CRegKey key = createdKey();
    ASSERT_EQ(key.SetValue(std::string("one"), "First"), 0);
    ASSERT_EQ(key.SetValue(std::int32_t{-2}, "Second"), 0);

    std::string name = untouched();
    Dword type = REG_SZ;
    RegValue value = untouched();
    EXPECT_EQ(key.EnumValue(0, name, type, value), 0);
    EXPECT_EQ(name, "First");
    EXPECT_EQ(value, RegValue(std::string("one")));
    EXPECT_EQ(key.EnumValue(1, name, type, value), 0);
    EXPECT_EQ(name, "Second");
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, RegValue(std::int32_t{-2}));
    name = untouched();
    value = untouched();
    EXPECT_EQ(key.EnumValue(2, name, type, value), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(name, untouched());
    EXPECT_EQ(value, RegValue(untouched()));

    Dword nameSize = DEFAULT_BUFFER_SIZE;
    Dword valueSize = DEFAULT_BUFFER_SIZE;
    EXPECT_EQ(key.EnumValue(0, name, type, value, nameSize, valueSize), 0);
    EXPECT_EQ(nameSize, 5u);
    EXPECT_EQ(valueSize, 4u);

    ASSERT_EQ(key.SetValue(std::string("x"), std::string(64, 'n')), 0);
    name = untouched();
    EXPECT_EQ(key.EnumValue(2, name, type, value), ERROR_MORE_DATA);
    EXPECT_EQ(name, untouched());
    ASSERT_EQ(key.SetValue(std::string("x"), std::string(63, 'm')), 0);
    EXPECT_EQ(key.EnumValue(3, name, type, value), 0);
    EXPECT_EQ(name, std::string(63, 'm'));
    key.CloseKey();
}

TEST(CRegKey, HandlesFollowTheHolderPattern) {
    ScratchStore store;
    CRegKey key;
    EXPECT_EQ(key.CloseKey(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(key.m_hKey, 0u);

    key = createdKey();
    ASSERT_NE(key.m_hKey, 0u);
    EXPECT_EQ(key.CloseKey(), 0);
    EXPECT_EQ(key.m_hKey, 0u);
    EXPECT_EQ(key.CloseKey(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(key.m_hKey, 0u);

    std::string name;
    Dword type = REG_SZ;
    RegValue value;
    EXPECT_EQ(key.OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.m_hKey, 0u);
    EXPECT_EQ(key.EnumValue(0, name, type, value), ERROR_INVALID_HANDLE);

    // OpenKey ignores the mask: a key opened for reading can be written.
    ASSERT_EQ(key.OpenKey(HKEY_LOCAL_MACHINE, KEY, KEY_READ), 0);
    EXPECT_EQ(key.SetValue(std::string("v"), "Written"), 0);
    // Create of an existing key opens it, its values untouched; the held handle is replaced, not
    // closed, so the first one stays usable.
    const Handle first = key.m_hKey;
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, KEY), 0);
    EXPECT_NE(key.m_hKey, first);
    EXPECT_EQ(key.QueryValue("Written", type, value), 0);
    EXPECT_EQ(value, RegValue(std::string("v")));
    EXPECT_EQ(backend().closeKey(first), 0);
    EXPECT_EQ(key.CloseKey(), 0);
}

namespace {

// Lists the subkeys of `path` through the back end; empty when it cannot be opened.
std::vector<std::string> subkeysOf(const std::string& path) {
    CRegKey key;
    std::vector<std::string> names;
    if (key.OpenKey(HKEY_LOCAL_MACHINE, path) != 0) {
        return names;
    }
    for (Dword index = 0;; ++index) {
        char name[256];
        Dword size = sizeof name;
        if (backend().enumKey(key.m_hKey, index, name, &size) != 0) {
            break;
        }
        names.emplace_back(name, size);
    }
    key.CloseKey();
    return names;
}

// A store that refuses to delete one key name, to see a recursive delete stop half-way.
class RefusingDelete : public ForwardingBackend {
public:
    Status deleteKey(Handle key, const std::string& subKey) override {
        return subKey == "B2" ? ERROR_ACCESS_DENIED : ForwardingBackend::deleteKey(key, subKey);
    }
};

} // namespace

TEST(CRegKey, RecurseDeleteKeyRemovesEverythingBelow) {
    ScratchStore store;
    for (const char* sub : {"One", "Two", "Three"}) {
        CRegKey key = createdKey(std::string(KEY) + "\\Top\\" + sub + "\\Inner");
        ASSERT_EQ(key.SetValue(std::string("v"), "Value"), 0);
        key.CloseKey();
        key = createdKey(std::string(KEY) + "\\Top\\" + sub);
        ASSERT_EQ(key.SetValue(std::string("v"), "Value"), 0);
        key.CloseKey();
    }
    CRegKey parent = createdKey();
    EXPECT_EQ(parent.RecurseDeleteKey("Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(subkeysOf(KEY), std::vector<std::string>{"Top"});
    EXPECT_EQ(parent.RecurseDeleteKey("top"), 0);
    EXPECT_EQ(subkeysOf(KEY), std::vector<std::string>{});
    parent.CloseKey();
}

TEST(CRegKey, RecurseDeleteKeyStopsAtTheFirstFailure) {
    BackendScope<RefusingDelete> store;
    for (const char* path : {"\\Top\\A\\A1", "\\Top\\B\\B1", "\\Top\\B\\B2", "\\Top\\C"}) {
        createdKey(KEY + std::string(path)).CloseKey();
    }
    CRegKey parent = createdKey();
    EXPECT_EQ(parent.RecurseDeleteKey("Top"), ERROR_ACCESS_DENIED);
    // A went first and stays deleted, as does B1; nothing after the refusal was touched.
    EXPECT_EQ(subkeysOf(std::string(KEY) + "\\Top"), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(subkeysOf(std::string(KEY) + "\\Top\\B"), std::vector<std::string>{"B2"});

    // A subkey name of 128 characters does not fit the enumeration buffer: the walk ends with 234.
    createdKey(std::string(KEY) + "\\Long\\" + std::string(128, 'n')).CloseKey();
    EXPECT_EQ(parent.RecurseDeleteKey("Long"), ERROR_MORE_DATA);
    EXPECT_EQ(subkeysOf(std::string(KEY) + "\\Long").size(), 1u);
    parent.CloseKey();
}
