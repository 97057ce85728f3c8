// Sequences of CRegKey calls with fuzzed names on a scratch in-memory store.
// Oracle: every name means one key. A key opened or created through a name is the key that name
// spells, compared in the store's Windows-1252 bytes without regard to letter case, with up to two
// trailing backslashes naming the key itself (as Windows reads them); a name that spells no key
// (an empty part, a NUL, a part over 255 characters) is refused. Each key is stamped with its own
// path the first time it is reached, so reaching it again through another name shows. Values
// likewise: a value read through a name holds that name's spelling.
#include "CRegKey.h"
#include "Cp1252.h"
#include "FuzzCheck.h"
#include "SqliteRegistry.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

using namespace zeb::reg;

namespace {

constexpr const char* STAMP = "\x01path";
constexpr const char* BASE = "SOFTWARE\\Fuzz";
constexpr int MAX_CALLS = 48;

// The fuzzer's bytes, taken as call codes and length-prefixed names.
class Script {
public:
    Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool done() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string name() {
        const std::size_t length = byte() % 40;
        std::string text;
        for (std::size_t n = 0; n < length && !done(); ++n) {
            text += static_cast<char>(byte());
        }
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// The key a relative name spells, as its folded store path; nullopt when it spells none.
std::optional<std::string> keySpelt(const std::string& utf8) {
    if (utf8.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    std::string bytes = toCp1252(utf8);
    if (bytes.empty()) {
        return std::string(); // the key the name is taken below
    }
    for (int trailing = 0; trailing < 2 && bytes.size() > 1 && bytes.back() == '\\'; ++trailing) {
        bytes.pop_back();
    }
    std::string path;
    for (std::size_t start = 0, end; start <= bytes.size(); start = end + 1) {
        end = std::min(bytes.find('\\', start), bytes.size());
        const std::string part = bytes.substr(start, end - start);
        if (part.empty() || part.size() > MAX_KEY_NAME_LENGTH) {
            return std::nullopt;
        }
        path += (path.empty() ? "" : "\\") + foldCp1252(part);
    }
    return path;
}

// The value a name spells, folded; nullopt when it spells none.
std::optional<std::string> valueSpelt(const std::string& utf8) {
    if (utf8.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return foldCp1252(toCp1252(utf8));
}

// Hex digits, so that any bytes survive the store's text conversions.
std::string hexOf(const std::string& bytes) {
    static constexpr char DIGITS[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : bytes) {
        hex += DIGITS[byte >> 4];
        hex += DIGITS[byte & 15];
    }
    return hex;
}

// A key reached through `name`: stamped with the path the name spells, or found stamped with it.
void checkReached(CRegKey& key, const std::string& name) {
    const auto spelt = keySpelt(name);
    ZEB_FUZZ_CHECK(spelt.has_value());
    Dword type = REG_NONE;
    RegValue stamp = std::string();
    Dword size = 4096;
    if (key.QueryValue(STAMP, type, stamp, size) == ERROR_FILE_NOT_FOUND) {
        ZEB_FUZZ_CHECK(key.SetValue(hexOf(*spelt), STAMP) == ERROR_SUCCESS);
        return;
    }
    ZEB_FUZZ_CHECK(textOf(stamp) == hexOf(*spelt));
}

// A name that spells no key is refused; one that does is refused only for the platform's reasons.
void checkOpenOutcome(Status status, const std::string& name) {
    if (!keySpelt(name)) {
        ZEB_FUZZ_CHECK(status != ERROR_SUCCESS);
    }
}

void openOrCreate(CRegKey& base, const std::string& name, bool create) {
    CRegKey key;
    const Status status = create ? key.Create(base.m_hKey, name) : key.OpenKey(base.m_hKey, name);
    checkOpenOutcome(status, name);
    if (status == ERROR_SUCCESS) {
        checkReached(key, name);
        if (key.m_hKey != base.m_hKey) {
            key.CloseKey();
        }
    }
}

void deleteKey(CRegKey& base, const std::string& name, bool recurse) {
    // What is deleted must be what the name spells.
    openOrCreate(base, name, false);
    const Status status = recurse ? base.RecurseDeleteKey(name) : base.DeleteSubKey(name);
    checkOpenOutcome(status, name);
    // (An empty name opens the key below which it is taken: that handle, deleted or not.)
    if (status == ERROR_SUCCESS && !keySpelt(name)->empty()) {
        CRegKey gone;
        ZEB_FUZZ_CHECK(gone.OpenKey(base.m_hKey, name) == ERROR_FILE_NOT_FOUND);
    }
}

void setOrReadValue(CRegKey& base, const std::string& name, bool write) {
    const auto spelt = valueSpelt(name);
    if (write) {
        const Status status = base.SetValue(hexOf(spelt.value_or("")), name);
        ZEB_FUZZ_CHECK(spelt.has_value() || status != ERROR_SUCCESS);
        return;
    }
    Dword type = REG_NONE;
    RegValue value = std::string();
    Dword size = 4096;
    if (base.QueryValue(name, type, value, size) == ERROR_SUCCESS && spelt != foldCp1252(STAMP)) {
        ZEB_FUZZ_CHECK(spelt.has_value() && textOf(value) == hexOf(*spelt));
    }
}

// Every subkey the walk lists is reached through its listed name.
void walkSubkeys(CRegKey& base) {
    for (Dword index = 0;; ++index) {
        char name[256];
        Dword size = sizeof name;
        if (backend().enumKey(base.m_hKey, index, name, &size) != ERROR_SUCCESS) {
            return;
        }
        openOrCreate(base, fromCp1252(std::string(name, size)), false);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    installBackend(std::make_unique<SqliteRegistry>(":memory:"));
    CRegKey base;
    ZEB_FUZZ_CHECK(base.Create(HKEY_LOCAL_MACHINE, BASE) == ERROR_SUCCESS);
    Script script(data, size);
    for (int call = 0; call < MAX_CALLS && !script.done(); ++call) {
        const std::uint8_t code = script.byte();
        const std::string name = script.name();
        switch (code % 8) {
        case 0:
        case 1:
            openOrCreate(base, name, code % 8 == 0);
            break;
        case 2:
        case 3:
            deleteKey(base, name, code % 8 == 3);
            break;
        case 4:
        case 5:
            setOrReadValue(base, name, code % 8 == 4);
            break;
        case 6:
            walkSubkeys(base);
            break;
        default:
            base.DeleteValue(name);
            break;
        }
    }
    base.CloseKey();
    return 0;
}
