// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "HostConnection.h"

#include "Cp1252.h"
#include "FdIo.h"
#include "SubnegotiationFilter.h"
#include "TerminalText.h"

#include <libtelnet.h>

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <poll.h>
#include <unistd.h>

namespace zeb::engine {

namespace {

// Negotiation answers are queued even when keys are refused; a host that asks and asks but reads
// nothing ends the connection instead of growing the queue without end.
constexpr size_t ANSWER_LIMIT = 2 * HostConnection::OUTPUT_LIMIT;

// What this side does (us) and lets the host do (him): the host may echo and suppress go-ahead;
// this side suppresses go-ahead and tells its terminal type and window size. libtelnet refuses
// every other option (compression among them) when the host offers or asks for it.
constexpr telnet_telopt_t TELNET_OPTIONS[] = {
    {TELNET_TELOPT_ECHO, TELNET_WONT, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_TTYPE, TELNET_WILL, TELNET_DONT},
    {TELNET_TELOPT_NAWS, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};
// libtelnet reads the table up to its -1 row, and past the array without one.
static_assert(TELNET_OPTIONS[std::size(TELNET_OPTIONS) - 1].telopt == -1);

// Each name once, where it first comes (in any letter case): RFC 1091 takes a name sent again as
// the end of the list, so a name offered twice would hide those after it.
std::vector<std::string> namedOnce(const std::vector<std::string>& types) {
    std::vector<std::string> once;
    for (const auto& type : types) {
        if (std::ranges::none_of(
                once, [&](const auto& kept) { return reg::sameIgnoringAsciiCase(kept, type); })) {
            once.push_back(type);
        }
    }
    return once;
}

std::string endedBecause(const char* what) {
    return errno == 0 ? std::string(what)
                      : std::string("The connection failed: ") + std::strerror(errno) + ".";
}

class TelnetConnection final : public HostConnection {
public:
    TelnetConnection(UniqueFd socket, std::vector<std::string> terminalTypes, int columns, int rows)
        : socket_(std::move(socket)), terminalTypes_(namedOnce(terminalTypes)), columns_(columns),
          rows_(rows), telnet_(telnet_init(TELNET_OPTIONS, &TelnetConnection::onEvent, 0, this)) {
        telnet_negotiate(telnet_, TELNET_WILL, TELNET_TELOPT_TTYPE);
        telnet_negotiate(telnet_, TELNET_WILL, TELNET_TELOPT_NAWS);
        telnet_negotiate(telnet_, TELNET_DO, TELNET_TELOPT_SGA);
    }
    ~TelnetConnection() override { telnet_free(telnet_); }

    int fd() const override { return socket_.get(); }

    Received receive() override {
        const std::string bytes = readSome(socket_.get());
        if (bytes.empty()) {
            if (errno == EAGAIN) {
                return {};
            }
            return {{}, endedBecause("The host closed the connection.")};
        }
        filter_.feed(bytes);
        Received received{std::exchange(received_, {}), std::nullopt};
        if (!failure_.empty()) {
            received.ended = failure_;
        } else if (auto flushed = flush(); failed(flushed)) {
            received.ended = failureOf(flushed);
        }
        return received;
    }

    void resize(int columns, int rows) override {
        columns_ = columns;
        rows_ = rows;
        if (weDo_[TELNET_TELOPT_NAWS]) {
            sendWindowSize();
        }
    }

    bool wantsLocalEcho() const override { return !hostDoes_[TELNET_TELOPT_ECHO]; }

protected:
    void encodeKeys(std::string_view keys) override {
        const std::string line = enterAsCrLf(keys); // Enter is CR LF on a Telnet connection
        telnet_send(telnet_, line.data(), line.size());
    }

    std::string writeFailure(int error) const override {
        return std::string("The connection failed: ") + std::strerror(error) + ".";
    }

private:
    static void onEvent(telnet_t*, telnet_event_t* event, void* self) {
        static_cast<TelnetConnection*>(self)->handle(*event);
    }

    // Once the connection has failed, libtelnet's state is not to be trusted: nothing more is read.
    void parse(std::string_view bytes) {
        if (failure_.empty()) {
            telnet_recv(telnet_, bytes.data(), bytes.size());
        }
    }

    bool inForce(unsigned char option) const { return hostDoes_[option] || weDo_[option]; }

    void handle(const telnet_event_t& event) {
        if (!failure_.empty()) {
            return;
        }
        switch (event.type) {
        case TELNET_EV_DATA:
            received_.append(event.data.buffer, event.data.size);
            break;
        case TELNET_EV_SEND:
            if (unsent() + event.data.size > ANSWER_LIMIT) {
                failure_ = "The host sends requests but reads none of the answers; the connection "
                           "is given up.";
            } else {
                queue({event.data.buffer, event.data.size});
            }
            break;
        case TELNET_EV_WILL:
        case TELNET_EV_WONT:
            hostDoes_[event.neg.telopt] = event.type == TELNET_EV_WILL;
            break;
        case TELNET_EV_DO:
        case TELNET_EV_DONT:
            weDo_[event.neg.telopt] = event.type == TELNET_EV_DO;
            if (event.neg.telopt == TELNET_TELOPT_NAWS && weDo_[TELNET_TELOPT_NAWS]) {
                sendWindowSize();
            }
            break;
        case TELNET_EV_TTYPE:
            if (event.ttype.cmd == TELNET_TTYPE_SEND) {
                sendNextTerminalType();
            }
            break;
        case TELNET_EV_ERROR:
            failure_ = std::string("The Telnet connection failed: ") + event.error.msg + ".";
            break;
        default: // warnings too: behind the filter, only slips in a negotiation or a type request
            break;
        }
    }

    // The list, its last entry once more to mark the end, and then from the top again: a host
    // that knows none of them asks once more to get back to the first (RFC 1091).
    void sendNextTerminalType() {
        const std::string none = UNKNOWN_TERMINAL_TYPE;
        const size_t count = terminalTypes_.size();
        const size_t place = questions_++ % (count + 1);
        const std::string& type = count == 0 ? none : terminalTypes_[std::min(place, count - 1)];
        telnet_ttype_is(telnet_, type.c_str());
    }

    void sendWindowSize() {
        const unsigned char size[4] = {
            static_cast<unsigned char>(columns_ >> 8), static_cast<unsigned char>(columns_ & 0xFF),
            static_cast<unsigned char>(rows_ >> 8), static_cast<unsigned char>(rows_ & 0xFF)};
        telnet_subnegotiation(telnet_, TELNET_TELOPT_NAWS, reinterpret_cast<const char*>(size), 4);
    }

    UniqueFd socket_;
    std::vector<std::string> terminalTypes_;
    size_t questions_ = 0; // how often the host has asked for the terminal type
    int columns_;
    int rows_;
    telnet_t* telnet_;
    SubnegotiationFilter filter_{[this](std::string_view bytes) { parse(bytes); },
                                 [this](unsigned char option) { return inForce(option); }};
    std::string received_;
    std::string failure_;
    std::bitset<256> hostDoes_; // the options agreed for the host (WILL) and for this side (DO)
    std::bitset<256> weDo_;
};

class SerialConnection final : public HostConnection {
public:
    SerialConnection(UniqueFd port, std::string device)
        : port_(std::move(port)), device_(std::move(device)) {}

    int fd() const override { return port_.get(); }

    Received receive() override {
        std::string bytes = readSome(port_.get());
        if (bytes.empty() && errno != EAGAIN) {
            const std::string reason =
                errno == 0 || errno == EIO ? "it was hung up" : std::strerror(errno);
            return {{}, "The serial line " + device_ + " ended: " + reason + "."};
        }
        return {std::move(bytes), std::nullopt};
    }

protected:
    void encodeKeys(std::string_view keys) override { queue(keys); }

    std::string writeFailure(int error) const override {
        return "The serial line " + device_ + " failed: " + std::strerror(error) + ".";
    }

private:
    UniqueFd port_;
    std::string device_;
};

} // namespace

short HostConnection::events() const {
    return static_cast<short>(POLLIN | (output_.empty() ? 0 : POLLOUT));
}

Outcome<bool> HostConnection::send(std::string_view keys) {
    if (output_.size() + keys.size() > OUTPUT_LIMIT) {
        return false;
    }
    encodeKeys(keys);
    if (auto flushed = flush(); failed(flushed)) {
        return Failure{failureOf(flushed)};
    }
    return true;
}

Outcome<Done> HostConnection::flush() {
    while (!output_.empty()) {
        const ssize_t written = ::write(fd(), output_.data(), output_.size());
        if (written > 0) {
            output_.erase(0, static_cast<size_t>(written));
        } else if (written == 0 || errno == EAGAIN) {
            break; // the rest when the descriptor takes more
        } else if (errno != EINTR) {
            return Failure{writeFailure(errno)};
        }
    }
    return Done{};
}

std::unique_ptr<HostConnection> openTelnet(UniqueFd socket, std::vector<std::string> terminalTypes,
                                           int columns, int rows) {
    return std::make_unique<TelnetConnection>(std::move(socket), std::move(terminalTypes), columns,
                                              rows);
}

Outcome<std::unique_ptr<HostConnection>> openSerial(const SerialTarget& target,
                                                    std::vector<std::string>& notes) {
    auto port = openSerialLine(target.device, target.line, notes);
    if (failed(port)) {
        return Failure{failureOf(port)};
    }
    return std::make_unique<SerialConnection>(std::move(std::get<UniqueFd>(port)), target.device);
}

} // namespace zeb::engine
