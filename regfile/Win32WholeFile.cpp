// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "WholeFile.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace zeb::files {

// Windows has no hard link to refuse an existing target atomically; the check comes just before
// the rename instead, and the file gets the permissions of the folder.
Outcome<WriteResult> writeFileWhole(const std::string& path, std::string_view text, bool replace) {
    namespace fs = std::filesystem;
    std::random_device random;
    const auto temporary = path + ".tmp" + std::to_string(random());
    std::FILE* file = std::fopen(temporary.c_str(), "wbx");
    if (file == nullptr) {
        return Failure{"the temporary file cannot be created"};
    }
    const bool written =
        std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
    const bool closed = std::fclose(file) == 0;
    std::error_code error;
    if (!written || !closed) {
        fs::remove(temporary, error);
        return Failure{"the disk refused the data"};
    }
    if (!replace && fs::exists(path, error)) {
        fs::remove(temporary, error);
        return WriteResult::TargetExists;
    }
    fs::rename(temporary, path, error);
    if (error) {
        const auto why = error.message();
        fs::remove(temporary, error);
        return Failure{why};
    }
    return WriteResult::Written;
}

} // namespace zeb::files
