// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Where zeb-reg talks to its user. A header of its own, so that the verbs, the entry point and the
// programs that run zeb-reg in process (tests, fuzzers, benchmarks) share it, and no part of the
// tool includes the entry point's header for it. The streams belong to the caller.
#pragma once

#include <iosfwd>

namespace zeb::regtool {

struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool interactive = false; // `in` is a terminal: delete may ask instead of needing /f
};

} // namespace zeb::regtool
