// A private, empty in-memory store installed as the process-wide back end for one test's scope.
// Each test makes its own: no store is shared between tests.
#pragma once

#include "ForwardingBackend.h"

class ScratchStore : public BackendScope<zeb::reg::SqliteRegistry> {
public:
    explicit ScratchStore(zeb::reg::SqliteRegistry::Options options = {})
        : BackendScope(":memory:", std::move(options)) {}
};
