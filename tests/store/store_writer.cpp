// Helper process for the store's multi-process tests: writes `count` HostList values named
// <prefix><n> through CRegKey, the way the host editor does, into the store file given, and prints
// each n on its own line once its write has returned 0. Exits 1 at the first failed write.
#include "CRegKey.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using namespace zeb::reg;

namespace {

Status writeMark(const std::string& name) {
    CRegKey key;
    if (key.OpenKey(HKEY_LOCAL_MACHINE, zeb::layout::HOSTLIST_KEY, KEY_WRITE) != ERROR_SUCCESS) {
        key.Create(HKEY_LOCAL_MACHINE, zeb::layout::HOSTLIST_KEY, 0, WRITER_ACCESS);
    }
    const Status status = key.SetValue(std::string(zeb::layout::HOSTLIST_MARK), name);
    key.CloseKey();
    return status;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: store_writer STORE PREFIX COUNT\n");
        return 2;
    }
    installBackend(std::make_unique<SqliteRegistry>(argv[1]));
    const long count = std::strtol(argv[3], nullptr, 10);
    for (long n = 0; n < count; ++n) {
        const Status status = writeMark(argv[2] + std::to_string(n));
        if (status != ERROR_SUCCESS) {
            std::fprintf(stderr, "write %ld failed with %d\n", n, status);
            return 1;
        }
        std::printf("%ld\n", n);
        std::fflush(stdout);
    }
    return 0;
}
