// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// A connection to a host as the session side relays it: the host's characters to the terminal,
// the user's keys to the host. One implementation per transport (Telnet, serial line).
//
// Nothing here ever waits for the host: what goes to it waits in a bounded output queue that the
// session writes out whenever the descriptor takes more, so a host that stops reading (or a serial
// line held by flow control) cannot freeze the window.
#pragma once

#include "HostResolver.h"
#include "Outcome.h"
#include "UniqueFd.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::engine {

class HostConnection {
public:
    // Keys beyond this much unsent output are refused. Far more than a person types; a host that
    // lets this much pile up has stopped reading.
    static constexpr size_t OUTPUT_LIMIT = 1024 * 1024;

    virtual ~HostConnection() = default;

    // Readable when the host has sent something, then receive() takes it; writable (when events()
    // asks for it) when the queue can move on, then flush() moves it.
    virtual int fd() const = 0;
    short events() const;

    struct Received {
        std::string characters;           // for the terminal (and the trace)
        std::optional<std::string> ended; // why the connection is over, once it is
    };
    virtual Received receive() = 0;

    // Queues the user's keys as the transport wants them and writes what the host takes now: true
    // once queued, false when the queue is full and the keys were not taken. A failure ends the
    // connection.
    Outcome<bool> send(std::string_view keys);
    // Writes as much of the queue as the host takes now.
    Outcome<Done> flush();
    size_t unsent() const { return output_.size(); }

    // The terminal window's size changed (Telnet tells the host).
    virtual void resize(int columns, int rows) { (void)columns, (void)rows; }

    // Whether the terminal must show the user's keys itself because the host does not echo them.
    virtual bool wantsLocalEcho() const { return false; }

protected:
    // Puts the keys, encoded for the transport, into the queue (with queue()).
    virtual void encodeKeys(std::string_view keys) = 0;
    // The failure text for a write that failed with `error`.
    virtual std::string writeFailure(int error) const = 0;
    void queue(std::string_view bytes) { output_.append(bytes); }

private:
    std::string output_;
};

// The Telnet session on a connected socket (see TelnetDial). Negotiated: echo, suppress-go-ahead,
// terminal type and window size; every other option is refused, and a subnegotiation counts only
// for an agreed option (see SubnegotiationFilter), so the host's protocol never reaches the
// terminal as text. Enter goes to the host as CR LF. Each time the host asks for the terminal
// type, the next of `terminalTypes` (each name once, in any letter case) is sent, and the last
// again once all have been, then the list from the top (RFC 1091), so a host can look for one it
// knows, tell when there are no more, and go back to the first.
std::unique_ptr<HostConnection> openTelnet(UniqueFd socket, std::vector<std::string> terminalTypes,
                                           int columns, int rows);

// Opens a serial line (see openSerialLine); `notes` collects what the user should know.
Outcome<std::unique_ptr<HostConnection>> openSerial(const SerialTarget& target,
                                                    std::vector<std::string>& notes);

} // namespace zeb::engine
