// Writing a file whole: the new contents appear under the file's name all at once or not at all,
// never half-written, even when the machine stops midway.
//
// The text goes to a new temporary file beside the target, with mode 0600 (the store file's own:
// a file written here holds what the store holds, such as an export), is synced to the disk, and
// is then put in place: without `replace` by a hard link, which refuses an existing target
// atomically (also one made after any check up front), with `replace` by a rename over it. The
// folder is synced last, so that the new name survives a crash too. On Windows, which has no such
// link, the check for an existing target comes just before the rename.
#pragma once

#include <string>
#include <string_view>

namespace zeb::files {

struct WriteOutcome {
    bool targetExists = false; // refused: the target exists and `replace` was not set
    std::string error;         // any other failure, in words; nothing was written
    bool ok() const { return !targetExists && error.empty(); }
};

WriteOutcome writeFileWhole(const std::string& path, std::string_view text, bool replace);

} // namespace zeb::files
