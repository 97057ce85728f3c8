// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The test build's stand-in for libFuzzer: runs LLVMFuzzerTestOneInput on every file below the
// folders named, each named first so that the log of a failure shows which.
#include "FuzzCheck.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[i])) {
            if (entry.is_regular_file()) {
                std::fprintf(stderr, "replaying %s\n", entry.path().c_str());
                std::ifstream in(entry.path(), std::ios::binary);
                // A copy of exactly the input's size, so reading past its end is caught by ASan.
                const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in), {}};
                LLVMFuzzerTestOneInput(data.data(), data.size());
                ++replayed;
            }
        }
    }
    // An empty or missing corpus would make the test pass while checking nothing.
    std::fprintf(stderr, "replayed %zu inputs\n", replayed);
    return replayed == 0 ? 1 : 0;
}
