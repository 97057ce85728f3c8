// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The engine's session side: the program the terminal window runs ("orvane-engine --session
// <socket>"). It reports in to the protocol side over the private socket, takes the titles, the
// about text and the start-up script from it, carries out the script, and then relays between the
// user's terminal (in raw mode) and the host. A connection that fails or ends is reported in the
// terminal, which stays open until a key is pressed.
#pragma once

#include <string>

namespace zeb::engine {

// Runs on the terminal given as input and output descriptors; returns the exit status.
int runSessionSide(const std::string& socketPath, int terminalIn, int terminalOut);

} // namespace zeb::engine
