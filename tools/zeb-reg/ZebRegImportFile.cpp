// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "ZebRegImportFile.h"

#include "ZebRegErrors.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace zeb::regtool {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t READ_CHUNK = 1 << 20;
constexpr std::uintmax_t MIB = 1024 * 1024;
// Import refuses larger files before reading them: a .reg file of the whole store is a few MiB.
constexpr std::uintmax_t MAX_IMPORT_FILE_SIZE = 64 * MIB;

[[noreturn]] void failTooLarge(const std::string& file) {
    fail("the file '" + file + "' is larger than " + std::to_string(MAX_IMPORT_FILE_SIZE / MIB) +
         " MiB; that is no .reg file of this store");
}

} // namespace

std::string readImportFile(const std::string& file) {
    std::error_code error;
    const auto status = fs::status(file, error);
    if (status.type() == fs::file_type::not_found) {
        fail("the file '" + file + "' does not exist");
    }
    if (error) {
        fail("the file '" + file + "' cannot be opened: " + error.message());
    }
    if (fs::is_directory(status)) {
        fail("'" + file + "' is a folder, not a .reg file");
    }
    if (fs::is_regular_file(status) && fs::file_size(file, error) > MAX_IMPORT_FILE_SIZE) {
        failTooLarge(file);
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        fail("the file '" + file + "' cannot be opened: " + std::strerror(errno));
    }
    // Read in chunks with a cap too: a device or a pipe has no size to check beforehand.
    std::string bytes;
    std::vector<char> chunk(READ_CHUNK);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        bytes.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > MAX_IMPORT_FILE_SIZE) {
            failTooLarge(file);
        }
    }
    if (in.bad()) {
        fail("the file '" + file + "' cannot be read");
    }
    return bytes;
}

} // namespace zeb::regtool
