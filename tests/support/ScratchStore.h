// ForwardingBackend: an in-memory store whose operations a test overrides to bend one; BackendScope
// installs a back end for a scope; ScratchStore: a private empty in-memory store for one test.
#pragma once

#include "SqliteRegistry.h" // and <memory>

class ForwardingBackend : public zeb::reg::RegistryBackend {
public:
    explicit ForwardingBackend(zeb::reg::SqliteRegistry::Options options = {})
        : inner_(std::make_unique<zeb::reg::SqliteRegistry>(":memory:", std::move(options))) {}

    using Handle = zeb::reg::Handle;
    using Status = zeb::reg::Status;
    using Dword = zeb::reg::Dword;

    Status openKey(Handle parent, const std::string& subKey, Handle* result) override {
        return inner_->openKey(parent, subKey, result);
    }
    Status createKey(Handle parent, const std::string& subKey, Dword options, Dword samDesired,
                     Handle* result) override {
        return inner_->createKey(parent, subKey, options, samDesired, result);
    }
    Status closeKey(Handle key) override { return inner_->closeKey(key); }
    Status queryValue(Handle key, const std::string& name, Dword* type, unsigned char* data,
                      Dword* cbData) override {
        return inner_->queryValue(key, name, type, data, cbData);
    }
    Status setValue(Handle key, const std::string& name, Dword type, const unsigned char* data,
                    Dword cbData) override {
        return inner_->setValue(key, name, type, data, cbData);
    }
    Status enumValue(Handle key, Dword index, char* name, Dword* cchName, Dword* type,
                     unsigned char* data, Dword* cbData) override {
        return inner_->enumValue(key, index, name, cchName, type, data, cbData);
    }
    Status enumKey(Handle key, Dword index, char* name, Dword* cchName) override {
        return inner_->enumKey(key, index, name, cchName);
    }
    Status deleteValue(Handle key, const std::string& name) override {
        return inner_->deleteValue(key, name);
    }
    Status deleteKey(Handle key, const std::string& subKey) override {
        return inner_->deleteKey(key, subKey);
    }
    Status runAtomically(const std::function<Status()>& body) override {
        return inner_->runAtomically(body);
    }

private:
    std::unique_ptr<zeb::reg::RegistryBackend> inner_;
};

// Installs a Backend made of `args` for the scope, then puts the previous back end back.
template <typename Backend> class BackendScope {
public:
    template <typename... Args> explicit BackendScope(Args&&... args) {
        auto owned = std::make_unique<Backend>(std::forward<Args>(args)...);
        backend_ = owned.get();
        previous_ = zeb::reg::installBackend(std::move(owned));
    }
    ~BackendScope() { zeb::reg::installBackend(std::move(previous_)); }

    Backend* operator->() const { return backend_; }

private:
    Backend* backend_ = nullptr;
    std::unique_ptr<zeb::reg::RegistryBackend> previous_;
};

class ScratchStore : public BackendScope<zeb::reg::SqliteRegistry> {
public:
    explicit ScratchStore(zeb::reg::SqliteRegistry::Options options = {})
        : BackendScope(":memory:", std::move(options)) {}
};
