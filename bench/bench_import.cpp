// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// How long zeb-reg takes to import a host list of 10,000 and of 100,000 records into a store file
// (HostList plus Hosts\<name> with 10 values each, 12 lines a record), and to export it again.
// Both sizes are measured so that a cost growing faster than the records shows. The store file is
// real and durable, as on an administrator's machine; each run starts from an empty store.
#include "SqliteRegistry.h"
#include "ZebReg.h"
#include "bench_host_list.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int SIZES[] = {10000, 100000};
constexpr int RUNS = 2;
constexpr double IMPORT_GOAL = 5; // seconds, for 100,000 records
constexpr double EXPORT_GOAL = 3;

// Seconds on the clock, and of processor time: on a busy machine the two differ widely.
struct Timing {
    double wall = -1; // negative when the command failed
    double cpu = 0;
};

Timing timed(zeb::reg::RegistryBackend& store, const std::vector<std::string>& args) {
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    zeb::regtool::Console console{in, out, err, false};
    const auto startCpu = std::clock();
    const auto start = std::chrono::steady_clock::now();
    const int status = zeb::regtool::runZebReg(store, args, console);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const double cpu = static_cast<double>(std::clock() - startCpu) / CLOCKS_PER_SEC;
    if (status != 0) {
        std::fprintf(stderr, "%s", err.str().c_str());
        return {};
    }
    return {elapsed.count(), cpu};
}

// Imports and exports `records` records RUNS times; false when a command failed.
bool measure(const fs::path& folder, int records) {
    const auto regFile = (folder / "hosts.reg").string();
    {
        std::ofstream out(regFile, std::ios::binary);
        out << bench::HostListFile(records);
    }
    std::printf("import of %d host records (%.1f MiB .reg file) into an empty store file:\n",
                records, static_cast<double>(fs::file_size(regFile)) / (1024 * 1024));
    double worstImport = 0;
    double worstExport = 0;
    for (int run = 0; run < RUNS; ++run) {
        const auto storeFile =
            (folder / ("registry" + std::to_string(records) + "-" + std::to_string(run) + ".db"))
                .string();
        zeb::reg::SqliteRegistry store(storeFile);
        const auto imported = timed(store, {"import", regFile});
        const auto exported =
            timed(store, {"export", "HKLM\\SOFTWARE", (folder / "again.reg").string(), "/y"});
        if (imported.wall < 0 || exported.wall < 0) {
            return false;
        }
        std::printf(
            "  run %d: import %.3f s (processor %.3f s), export %.3f s (processor %.3f s)\n",
            run + 1, imported.wall, imported.cpu, exported.wall, exported.cpu);
        worstImport = std::max(worstImport, imported.wall);
        worstExport = std::max(worstExport, exported.wall);
    }
    std::printf("slowest: import %.3f s, export %.3f s (goal for 100,000 records: under %.0f s "
                "and %.0f s)\n",
                worstImport, worstExport, IMPORT_GOAL, EXPORT_GOAL);
    return true;
}

} // namespace

int main() {
    const auto folder =
        fs::temp_directory_path() / ("zeb-bench-import-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    bool failed = false;
    for (const int records : SIZES) {
        failed = failed || !measure(folder, records);
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return failed ? 1 : 0;
}
