// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

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

#include "Outcome.h"

#include <string>
#include <string_view>

namespace zeb::files {

// A refusal because the target exists (and `replace` was not set) is no failure but its own
// result, nothing written, since callers tell the user a different thing for it; any other
// failure is a Failure in words, nothing written either.
enum class WriteResult { Written, TargetExists };

Outcome<WriteResult> writeFileWhole(const std::string& path, std::string_view text, bool replace);

} // namespace zeb::files
