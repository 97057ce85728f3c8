// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// How fast the store answers the reads the dialogs make, on a store file with 10,000 host records:
// walking every HostList value with EnumValue from index 0 (target under 100 ms) and one
// QueryValue (target under 50 microseconds on average).
#include "CRegKey.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace zeb::reg;
namespace layout = zeb::layout;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int RECORDS = 10000;
constexpr int WALKS = 5;
constexpr int QUERIES = 20000;

std::string hostName(int number) {
    return "host" + std::to_string(number);
}

// One transaction for the whole fill: the benchmark measures reads, not 10,000 fsyncs.
Status fillStore() {
    return backend().runAtomically([] {
        CRegKey list;
        Status status = list.Create(HKEY_LOCAL_MACHINE, layout::HOSTLIST_KEY, 0, WRITER_ACCESS);
        for (int number = 0; number < RECORDS && status == 0; ++number) {
            status = list.SetValue(std::string(layout::HOSTLIST_MARK), hostName(number));
        }
        list.CloseKey();
        CRegKey host;
        status |= host.Create(HKEY_LOCAL_MACHINE, layout::hostKeyPath("host42"), 0, WRITER_ACCESS);
        status |= host.SetValue(std::string("192.168.1.42"), layout::ADDRESS);
        host.CloseKey();
        return status;
    });
}

// The host list's walk: open, EnumValue from 0 with both sizes reset to 64, close.
int walkHostList() {
    CRegKey key;
    key.OpenKey(HKEY_LOCAL_MACHINE, layout::HOSTLIST_KEY, KEY_READ);
    int count = 0;
    for (Dword index = 0;; ++index) {
        std::string name;
        Dword type = REG_SZ;
        Dword nameSize = DEFAULT_BUFFER_SIZE;
        Dword valueSize = DEFAULT_BUFFER_SIZE;
        RegValue value;
        if (key.EnumValue(index, name, type, value, nameSize, valueSize) != 0) {
            break;
        }
        ++count;
    }
    key.CloseKey();
    return count;
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main() {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("zeb-bench-store-" + std::to_string(::getpid()));
    const std::string path = (folder / "registry.db").string();
    installBackend(std::make_unique<SqliteRegistry>(path));
    if (fillStore() != 0) {
        std::fprintf(stderr, "could not fill the store at %s\n", path.c_str());
        return 1;
    }
    // A fresh back end, as a newly started ZEB would have.
    installBackend(std::make_unique<SqliteRegistry>(path));

    std::vector<double> walks;
    for (int run = 0; run < WALKS; ++run) {
        const auto start = Clock::now();
        const int count = walkHostList();
        walks.push_back(millisecondsSince(start));
        if (count != RECORDS) {
            std::fprintf(stderr, "walk saw %d values, not %d\n", count, RECORDS);
            return 1;
        }
    }
    const double first = walks.front(); // the cold walk: statements not yet prepared
    std::sort(walks.begin(), walks.end());
    std::printf("EnumValue walk of %d HostList values: first %.1f ms, median %.1f ms "
                "(target < 100 ms)\n",
                RECORDS, first, walks[WALKS / 2]);

    CRegKey host;
    host.OpenKey(HKEY_LOCAL_MACHINE, layout::hostKeyPath("host42"), KEY_READ);
    const auto start = Clock::now();
    for (int query = 0; query < QUERIES; ++query) {
        Dword type = REG_SZ;
        Dword size = DEFAULT_BUFFER_SIZE;
        RegValue value;
        if (host.QueryValue(layout::ADDRESS, type, value, size) != 0) {
            std::fprintf(stderr, "QueryValue failed\n");
            return 1;
        }
    }
    const double microseconds = millisecondsSince(start) * 1000.0 / QUERIES;
    host.CloseKey();
    std::printf("QueryValue of one value: %.2f us on average over %d calls (target < 50 us)\n",
                microseconds, QUERIES);

    installBackend(nullptr);
    std::filesystem::remove_all(folder);
    return 0;
}
