// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// store_writer STORE PREFIX COUNT: COUNT HostList writes as the host editor does, n told once done.
#include "CRegKey.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using namespace zeb::reg;

int main(int, char** argv) {
    installBackend(std::make_unique<SqliteRegistry>(argv[1]));
    for (long n = 0, count = std::strtol(argv[3], nullptr, 10); n < count; ++n) {
        CRegKey key;
        if (key.Create(HKEY_LOCAL_MACHINE, zeb::layout::HOSTLIST_KEY, 0, WRITER_ACCESS) != 0 ||
            key.SetValue(zeb::layout::HOSTLIST_MARK, argv[2] + std::to_string(n)) != 0) {
            return 1;
        }
        key.CloseKey();
        std::printf("%ld\n", n);
        std::fflush(stdout);
    }
    return 0;
}
