// A private, empty in-memory store installed as the process-wide back end for one test's scope.
// Each test makes its own: no store is shared between tests.
#pragma once

#include "SqliteRegistry.h"

#include <memory>

class ScratchStore {
public:
    explicit ScratchStore(zeb::reg::SqliteRegistry::Options options = {})
        : previous_(zeb::reg::installBackend(
              std::make_unique<zeb::reg::SqliteRegistry>(":memory:", std::move(options)))) {}
    ~ScratchStore() { zeb::reg::installBackend(std::move(previous_)); }
    ScratchStore(const ScratchStore&) = delete;
    ScratchStore& operator=(const ScratchStore&) = delete;

private:
    std::unique_ptr<zeb::reg::RegistryBackend> previous_;
};
