// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The engine program's two faces, chosen by its arguments: the embedding switch (as ZEB starts it,
// protocol::EMBEDDING_SWITCH) runs the protocol side on standard input and output; "--session
// <socket>" (as the terminal window runs it) runs the session side on the terminal.
#pragma once

namespace zeb::engine {

int runEngine(int argc, char** argv);

} // namespace zeb::engine
