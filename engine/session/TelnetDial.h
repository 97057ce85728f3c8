// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Reaching a Telnet host without holding the window: the name is looked up in a child process
// (the system's resolver cannot be interrupted, a process can) and each address is connected to
// without blocking, all within one bound. The session polls fd() for events() alongside the
// terminal, so the window keeps answering and can be closed while it waits.
#pragma once

#include "HostResolver.h"
#include "Outcome.h"
#include "UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zeb::engine {

class TelnetDial {
public:
    using Clock = std::chrono::steady_clock;
    // How long looking up the name and connecting may take together.
    static constexpr std::chrono::seconds LIMIT{30};

    // The addresses of a host name as numeric texts, or why there are none. It runs in the child
    // process: the system's resolver, unless a test puts another in its place.
    using AddressLookup = std::function<Outcome<std::vector<std::string>>(const std::string& host)>;
    static Outcome<std::vector<std::string>> systemLookup(const std::string& host);

    TelnetDial(std::string host, std::uint16_t port, std::chrono::milliseconds limit = LIMIT,
               const AddressLookup& lookup = systemLookup);
    ~TelnetDial(); // a lookup still running is ended
    TelnetDial(const TelnetDial&) = delete;
    TelnetDial& operator=(const TelnetDial&) = delete;

    int fd() const;
    short events() const;
    // Milliseconds until the bound, for poll (0 once it has passed).
    int millisecondsLeft() const;

    // Whether the name has been looked up and the connecting has begun.
    bool lookedUp() const { return !addresses_.empty(); }

    // Goes on as far as it can without waiting: nothing while it still waits, else the connected
    // socket or why there is none (the bound passed, the name is unknown, every address refused).
    std::optional<Outcome<UniqueFd>> step();

private:
    std::optional<Outcome<UniqueFd>> takeAddresses();
    std::optional<Outcome<UniqueFd>> connectNext();
    std::optional<Outcome<UniqueFd>> finishConnect();
    void startLookup(const AddressLookup& lookup);
    void endLookup();
    bool pastDeadline() const { return Clock::now() >= deadline_; }
    Failure cannotConnect(int error) const;

    std::string host_;
    std::uint16_t port_;
    std::chrono::milliseconds limit_;
    Clock::time_point deadline_;
    std::string startFailure_;
    pid_t lookupPid_ = -1;
    UniqueFd lookupPipe_;
    std::string lookupReply_;
    std::vector<std::string> addresses_;
    size_t nextAddress_ = 0;
    UniqueFd socket_;
    int lastError_ = ECONNREFUSED;
};

} // namespace zeb::engine
