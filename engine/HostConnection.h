// A connection to a host as the session side relays it: the host's characters to the terminal,
// the user's keys to the host. One implementation per transport (Telnet, serial line).
#pragma once

#include "HostResolver.h"
#include "Outcome.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::engine {

class HostConnection {
public:
    virtual ~HostConnection() = default;

    // Readable when the host has sent something; receive() then takes it.
    virtual int fd() const = 0;

    struct Received {
        std::string characters;           // for the terminal (and the trace)
        std::optional<std::string> ended; // why the connection is over, once it is
    };
    virtual Received receive() = 0;

    // Sends the user's keys as the transport wants them; a failure ends the connection.
    virtual Outcome<bool> send(std::string_view keys) = 0;

    // The terminal window's size changed (Telnet tells the host).
    virtual void resize(int columns, int rows) { (void)columns, (void)rows; }

    // Whether the terminal must show the user's keys itself because the host does not echo them.
    virtual bool wantsLocalEcho() const { return false; }
};

// Connects to a Telnet host, giving up after a bounded wait. The options echo, suppress-go-ahead,
// terminal type and window size are negotiated; Enter goes to the host as CR LF.
Outcome<std::unique_ptr<HostConnection>> connectTelnet(const TelnetTarget& target, int columns,
                                                       int rows);

// Opens a serial line (see openSerialLine); `notes` collects what the user should know.
Outcome<std::unique_ptr<HostConnection>> openSerial(const SerialTarget& target,
                                                    std::vector<std::string>& notes);

} // namespace zeb::engine
