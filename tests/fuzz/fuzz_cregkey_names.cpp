// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// CRegKey calls with fuzzed names on an in-memory store. Input: call codes, length-prefixed names.
// Oracle: a key reached through a name is the one it spells (Windows-1252, case-folded, up to two
// trailing backslashes ignored; each key is stamped with that path when first reached); a name with
// an empty part, a NUL or a part over 255 characters is refused; a value read holds its spelling.
#include "CRegKey.h"
#include "Cp1252.h"
#include "FuzzCheck.h"
#include "RegistryProbe.h"
#include "SqliteRegistry.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

using namespace zeb::reg;

namespace {

constexpr const char* STAMP = "\x01path";
constexpr int MAX_CALLS = 48;

// The value a name spells, folded; nullopt when it spells none.
std::optional<std::string> valueSpelt(const std::string& utf8) {
    return utf8.find('\0') == utf8.npos ? std::optional(foldCp1252(toCp1252(utf8))) : std::nullopt;
}

// The key a relative name spells, as its folded store path; nullopt when it spells none.
std::optional<std::string> keySpelt(const std::string& utf8) {
    auto bytes = valueSpelt(utf8); // folding is byte by byte: the parts stay where they are
    if (!bytes || bytes->empty()) {
        return bytes; // an empty name is the key it is taken below
    }
    for (int trailing = 0; trailing < 2 && bytes->size() > 1 && bytes->back() == '\\'; ++trailing) {
        bytes->pop_back();
    }
    for (std::size_t start = 0, end; start <= bytes->size(); start = end + 1) {
        end = std::min(bytes->find('\\', start), bytes->size());
        if (end == start || end - start > MAX_KEY_NAME_LENGTH) {
            return std::nullopt;
        }
    }
    return bytes;
}

// Hex digits, so that any bytes survive the store's text conversions.
std::string hexOf(const std::string& bytes) {
    static constexpr char DIGITS[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : bytes) {
        hex += {DIGITS[byte >> 4], DIGITS[byte & 15]};
    }
    return hex;
}

// A value's read status and text (empty when it could not be read).
std::pair<Status, std::string> valueOf(CRegKey& key, const std::string& name) {
    Dword type = REG_NONE, size = 4096;
    RegValue value = std::string();
    return {key.QueryValue(name, type, value, size), textOf(value)}; // evaluated left to right
}

void openOrCreate(CRegKey& base, const std::string& name, bool create) {
    CRegKey key;
    const Status status = create ? key.Create(base.m_hKey, name) : key.OpenKey(base.m_hKey, name);
    const auto spelt = keySpelt(name);
    ZEB_FUZZ_CHECK(spelt || status != ERROR_SUCCESS);
    if (status != ERROR_SUCCESS) {
        return;
    }
    // Stamped with the path the name spells, or found stamped with it.
    const auto stamp = valueOf(key, STAMP);
    ZEB_FUZZ_CHECK(stamp.first == ERROR_FILE_NOT_FOUND
                       ? key.SetValue(hexOf(*spelt), STAMP) == ERROR_SUCCESS
                       : stamp.second == hexOf(*spelt));
    if (key.m_hKey != base.m_hKey) {
        key.CloseKey();
    }
}

void deleteKey(CRegKey& base, const std::string& name, bool recurse) {
    openOrCreate(base, name, false); // what is deleted must be what the name spells
    const Status status = recurse ? base.RecurseDeleteKey(name) : base.DeleteSubKey(name);
    const auto spelt = keySpelt(name);
    ZEB_FUZZ_CHECK(spelt || status != ERROR_SUCCESS);
    // (An empty name opens the key below which it is taken: that handle, deleted or not.)
    if (status == ERROR_SUCCESS && !spelt->empty()) {
        ZEB_FUZZ_CHECK(CRegKey().OpenKey(base.m_hKey, name) == ERROR_FILE_NOT_FOUND);
    }
}

void setOrReadValue(CRegKey& base, const std::string& name, bool write) {
    const auto spelt = valueSpelt(name);
    if (write) {
        const Status status = base.SetValue(hexOf(spelt.value_or("")), name);
        ZEB_FUZZ_CHECK(status != ERROR_SUCCESS || spelt);
    } else if (const auto value = valueOf(base, name);
               value.first == ERROR_SUCCESS && spelt != foldCp1252(STAMP)) {
        ZEB_FUZZ_CHECK(spelt.has_value() && value.second == hexOf(*spelt));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    installBackend(std::make_unique<SqliteRegistry>(":memory:"));
    CRegKey base;
    ZEB_FUZZ_CHECK(base.Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fuzz") == ERROR_SUCCESS);
    // Each call: a code byte, a length byte, that many name bytes (as far as the input goes).
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    for (int call = 0; call < MAX_CALLS && !rest.empty(); ++call) {
        const int what = static_cast<std::uint8_t>(rest[0]) % 8;
        const std::size_t length = rest.size() > 1 ? static_cast<std::uint8_t>(rest[1]) % 40 : 0;
        rest.remove_prefix(std::min<std::size_t>(2, rest.size()));
        const std::string name(rest.substr(0, length));
        rest.remove_prefix(name.size());
        if (what < 2) {
            openOrCreate(base, name, what == 0);
        } else if (what < 4) {
            deleteKey(base, name, what == 3);
        } else if (what < 6) {
            setOrReadValue(base, name, what == 4);
        } else if (what == 6) { // every subkey the walk lists is reached through its listed name
            for (const auto& subkey : probe::namesOf(backend(), base.m_hKey, true)) {
                openOrCreate(base, fromCp1252(subkey), false);
            }
        } else {
            base.DeleteValue(name);
        }
    }
    base.CloseKey();
    return 0;
}
