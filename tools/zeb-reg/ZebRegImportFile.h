// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The file an import reads, whole and capped: a .reg file of the whole store is a few MiB, so a
// file over 64 MiB is refused, before it is read when the file system tells its size and while it
// is read when it cannot (a device, a pipe). Fails with a CommandError naming the file.
#pragma once

#include <string>

namespace zeb::regtool {

std::string readImportFile(const std::string& file);

} // namespace zeb::regtool
