// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "WholeFile.h"

#include "FdIo.h"
#include "UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeb::files {
namespace {

constexpr mode_t WHOLE_FILE_MODE = 0600;

// Writes `text` to the new file `temporary` and syncs it; 0, or errno's value on failure. The mode
// is set again after open(2), which the umask may have narrowed.
int writeSyncedFile(const std::string& temporary, std::string_view text) {
    UniqueFd file(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, WHOLE_FILE_MODE));
    if (file.get() < 0) {
        return errno;
    }
    if (::fchmod(file.get(), WHOLE_FILE_MODE) != 0 || !writeAll(file.get(), text) ||
        ::fsync(file.get()) != 0) {
        return errno;
    }
    return file.close() ? 0 : errno;
}

// 0, or errno's value when the folder holding `path` cannot be synced.
int syncFolderOf(const std::string& path) {
    auto folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    UniqueFd directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return directory.get() >= 0 && ::fsync(directory.get()) == 0 ? 0 : errno;
}

Failure failure(const std::string& why, int error) {
    return Failure{why + std::strerror(error)};
}

} // namespace

Outcome<WriteResult> writeFileWhole(const std::string& path, std::string_view text, bool replace) {
    std::random_device random;
    const auto temporary = path + ".tmp" + std::to_string(random());
    if (const int error = writeSyncedFile(temporary, text); error != 0) {
        ::unlink(temporary.c_str());
        return failure("", error);
    }
    const bool placed = replace ? ::rename(temporary.c_str(), path.c_str()) == 0
                                : ::link(temporary.c_str(), path.c_str()) == 0;
    const int placeError = errno;
    if (!placed || !replace) {
        ::unlink(temporary.c_str());
    }
    if (!placed && placeError == EEXIST) {
        return WriteResult::TargetExists;
    }
    if (!placed) {
        return failure("", placeError);
    }
    if (const int error = syncFolderOf(path); error != 0) {
        return failure("it was written, but its folder could not be synced: ", error);
    }
    return WriteResult::Written;
}

} // namespace zeb::files
