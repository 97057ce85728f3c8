// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// BackendScope: a back end for one scope; ScratchStore: a private in-memory store for one test.
#pragma once

#include "SqliteRegistry.h" // and <memory>

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

struct ScratchStore : BackendScope<zeb::reg::SqliteRegistry> {
    explicit ScratchStore(zeb::reg::SqliteRegistry::Options options = {})
        : BackendScope(":memory:", std::move(options)) {}
};
