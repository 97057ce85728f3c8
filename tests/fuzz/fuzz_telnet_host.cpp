// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The Telnet connection with the fuzzer as host on a socket pair, in pieces sized by byte 0.
// Oracle: an RFC 854 reader of its own; the connection goes on, the terminal gets the data alone.
#include "FuzzCheck.h"
#include "HostConnection.h"

#include <libtelnet.h> // after HostConnection.h, which brings the size_t it needs
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

static std::string dataOf(std::string_view s) {
    std::string data;
    bool inSubnegotiation = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const bool command = std::uint8_t(s[i]) == TELNET_IAC;
        const int verb = i + 1 < s.size() ? std::uint8_t(s[i + 1]) : -1;
        if (!command || verb == TELNET_IAC) {
            data += inSubnegotiation ? std::string_view() : s.substr(i, 1);
            i += command;
        } else if (inSubnegotiation) { // ended by IAC SE, or cut short by a command read next
            inSubnegotiation = false;
            i = verb == TELNET_SE ? i + 1 : i - 1;
        } else { // a command, with its option after WILL, WONT, DO, DONT and SB
            inSubnegotiation = verb == TELNET_SB;
            i += verb == TELNET_SB || verb >= TELNET_WILL ? 2 : 1;
        }
    }
    return data;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* in, std::size_t size) {
    const size_t piece = 1 + (size > 0 ? in[0] : 0);
    const auto stream = std::string_view(reinterpret_cast<const char*>(in), size).substr(size > 0);
    int ends[2] = {-1, -1};
    ZEB_FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) == 0);
    const auto connection = zeb::engine::openTelnet(zeb::UniqueFd(ends[0]), {"VT220"}, 80, 24);
    const zeb::UniqueFd host(ends[1]);
    std::string shown;
    for (size_t at = 0; at < stream.size(); at += piece) { // the answers wait in the socket
        const auto part = stream.substr(at, piece);
        ZEB_FUZZ_CHECK(::write(host.get(), part.data(), part.size()) == ssize_t(part.size()));
        const auto received = connection->receive();
        ZEB_FUZZ_CHECK(!received.ended);
        shown += received.characters;
    }
    ZEB_FUZZ_CHECK(shown == dataOf(stream));
    return 0;
}
