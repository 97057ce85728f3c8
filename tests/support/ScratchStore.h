// A private, empty in-memory store, the process-wide back end for one test's scope: none is shared.
#pragma once

#include "ForwardingBackend.h"

class ScratchStore : public BackendScope<zeb::reg::SqliteRegistry> {
public:
    explicit ScratchStore(zeb::reg::SqliteRegistry::Options options = {})
        : BackendScope(":memory:", std::move(options)) {}
};
