// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The engine's protocol side: the process ZEB starts with the embedding switch. It answers ZEB's
// calls one by one, brings up the terminal window on Start, and hands the window's session side
// everything ZEB sends for it (titles, about text, script) over their private socket, holding back
// what arrives before the session has reported in.
#pragma once

#include "EngineProtocol.h"
#include "InitFile.h"
#include "SessionLink.h"
#include "TerminalLauncher.h"

#include <chrono>
#include <optional>
#include <vector>

namespace zeb::engine {

class EngineServer {
public:
    using Clock = std::chrono::steady_clock;
    // How long the terminal window may take to report in before IsReady gives up.
    static constexpr std::chrono::seconds READY_LIMIT{30};

    protocol::Reply handle(const protocol::Request& request);

    // The listening socket while the session has not reported in (-1 otherwise): readable means
    // a session is waiting, and acceptSession() takes it.
    int listenFd() const;
    void acceptSession();

    // Whether the protocol side still has something to hand over to a session that has not
    // reported in yet and may still do so (its terminal runs and the time limit is not over).
    bool awaitingSession();

private:
    protocol::Reply queryInterface(const protocol::Request& request);
    protocol::Reply start(const protocol::Request& request);
    protocol::Reply isReady(const protocol::Request& request);
    protocol::Reply needsRunStep(const protocol::Request& request);
    protocol::Reply runScript(const protocol::Request& request);
    protocol::Reply sendCode(const protocol::Request& request);
    protocol::Reply sendText(const protocol::Request& request);
    protocol::Reply release(const protocol::Request& request);

    // Why the terminal window will never report in, or nothing while it still may.
    std::optional<std::string> sessionWillNotCome();
    // Sends the message at once, or keeps it for the session until it reports in.
    Outcome<Done> forward(LinkMessage message);
    Outcome<Done> flushPending();

    bool controlOffered_ = false;
    bool started_ = false;
    EngineSettings settings_;
    std::optional<SessionRendezvous> rendezvous_;
    std::optional<TerminalProcess> terminal_;
    Clock::time_point readyDeadline_{};
    UniqueFd session_;
    bool sessionLost_ = false;
    std::vector<LinkMessage> pending_;
    std::optional<LinkKind> announced_; // the item that the next SendText sets
};

// Serves ZEB on the two descriptors until ZEB closes its end and everything has been handed to
// the session side (or the session can no longer come). Returns the process's exit status.
int runProtocolSide(int input, int output);

} // namespace zeb::engine
