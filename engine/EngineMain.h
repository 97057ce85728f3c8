// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The engine program's two faces, chosen by its arguments: "-Embedding" (as ZEB starts it) runs
// the protocol side on standard input and output; "--session <socket>" (as the terminal window
// runs it) runs the session side on the terminal.
#pragma once

namespace zeb::engine {

int runEngine(int argc, char** argv);

} // namespace zeb::engine
