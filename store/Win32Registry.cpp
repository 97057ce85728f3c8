// The platform back end: the nine operations passed straight to the ANSI registry functions of
// advapi32. Built on Windows only (CMake leaves this file out elsewhere).
#include "RegistryBackend.h"

#include <windows.h>

#include <cstdint>

namespace zeb::reg {

namespace {

// Registry handles are 32-bit values, sign-extended in a 64-bit process (HKEY_LOCAL_MACHINE is
// 0x80000002 as a LONG), so the conversion goes through int32_t both ways.
HKEY toHkey(Handle handle) {
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(handle)));
}

Handle toHandle(HKEY hkey) {
    return static_cast<Handle>(reinterpret_cast<std::uintptr_t>(hkey));
}

// Dword is uint32_t, DWORD is unsigned long: same size on Windows, different types. An optional
// in/out size goes through a DWORD of its own and is copied back after the call.
class DwordArg {
public:
    explicit DwordArg(Dword* outer) : outer_(outer), value_(outer != nullptr ? *outer : 0) {}
    ~DwordArg() {
        if (outer_ != nullptr) {
            *outer_ = static_cast<Dword>(value_);
        }
    }
    DwordArg(const DwordArg&) = delete;
    DwordArg& operator=(const DwordArg&) = delete;
    LPDWORD get() { return outer_ != nullptr ? &value_ : nullptr; }

private:
    Dword* outer_;
    DWORD value_;
};

class Win32Registry final : public RegistryBackend {
public:
    Status openKey(Handle parent, const std::string& subKey, Handle* result) override {
        HKEY opened = nullptr;
        const LONG status = RegOpenKeyA(toHkey(parent), subKey.c_str(), &opened);
        *result = status == ERROR_SUCCESS ? toHandle(opened) : 0;
        return status;
    }

    Status createKey(Handle parent, const std::string& subKey, Dword options, Dword samDesired,
                     Handle* result) override {
        HKEY created = nullptr;
        const LONG status = RegCreateKeyExA(toHkey(parent), subKey.c_str(), 0, nullptr, options,
                                            samDesired, nullptr, &created, nullptr);
        *result = status == ERROR_SUCCESS ? toHandle(created) : 0;
        return status;
    }

    Status closeKey(Handle key) override { return RegCloseKey(toHkey(key)); }

    Status queryValue(Handle key, const std::string& name, Dword* type, unsigned char* data,
                      Dword* cbData) override {
        DwordArg typeArg(type);
        DwordArg sizeArg(cbData);
        return RegQueryValueExA(toHkey(key), name.c_str(), nullptr, typeArg.get(), data,
                                sizeArg.get());
    }

    Status setValue(Handle key, const std::string& name, Dword type, const unsigned char* data,
                    Dword cbData) override {
        return RegSetValueExA(toHkey(key), name.c_str(), 0, type, data, cbData);
    }

    Status enumValue(Handle key, Dword index, char* name, Dword* cchName, Dword* type,
                     unsigned char* data, Dword* cbData) override {
        DwordArg nameArg(cchName);
        DwordArg typeArg(type);
        DwordArg sizeArg(cbData);
        return RegEnumValueA(toHkey(key), index, name, nameArg.get(), nullptr, typeArg.get(), data,
                             sizeArg.get());
    }

    Status enumKey(Handle key, Dword index, char* name, Dword* cchName) override {
        DwordArg nameArg(cchName);
        FILETIME lastWrite{};
        return RegEnumKeyExA(toHkey(key), index, name, nameArg.get(), nullptr, nullptr, nullptr,
                             &lastWrite);
    }

    Status deleteValue(Handle key, const std::string& name) override {
        return RegDeleteValueA(toHkey(key), name.c_str());
    }

    Status deleteKey(Handle key, const std::string& subKey) override {
        return RegDeleteKeyA(toHkey(key), subKey.c_str());
    }

    // The registry has no transactions ZEB can use here: the body runs as it stands.
    Status runAtomically(const std::function<Status()>& body) override { return body(); }
};

} // namespace

std::unique_ptr<RegistryBackend> makePlatformBackend() {
    return std::make_unique<Win32Registry>();
}

} // namespace zeb::reg
