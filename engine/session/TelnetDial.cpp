// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "TelnetDial.h"

#include "FdIo.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zeb::engine {

namespace {

// The child's answer: the addresses one to a line, or this mark and the failure text.
constexpr char FAILURE_MARK = '!';
// Far more than the addresses of any host; a longer answer is not one.
constexpr size_t MAX_LOOKUP_REPLY = 64 * 1024;

std::string lookupReplyOf(const Outcome<std::vector<std::string>>& outcome) {
    if (failed(outcome)) {
        return FAILURE_MARK + failureOf(outcome);
    }
    std::string reply;
    for (const auto& address : std::get<std::vector<std::string>>(outcome)) {
        reply += address + "\n";
    }
    return reply;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string describeLimit(std::chrono::milliseconds limit) {
    if (limit.count() % 1000 == 0) {
        return std::to_string(limit.count() / 1000) + " seconds";
    }
    return std::to_string(limit.count()) + " milliseconds";
}

} // namespace

Outcome<std::vector<std::string>> TelnetDial::systemLookup(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int code = ::getaddrinfo(host.c_str(), nullptr, &hints, &found); code != 0) {
        return Failure{"The host name \"" + host +
                       "\" cannot be resolved: " + ::gai_strerror(code) + "."};
    }
    std::vector<std::string> addresses;
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        char text[NI_MAXHOST];
        if (::getnameinfo(address->ai_addr, address->ai_addrlen, text, sizeof text, nullptr, 0,
                          NI_NUMERICHOST) == 0) {
            addresses.emplace_back(text);
        }
    }
    ::freeaddrinfo(found);
    return addresses;
}

TelnetDial::TelnetDial(std::string host, std::uint16_t port, std::chrono::milliseconds limit,
                       const AddressLookup& lookup)
    : host_(std::move(host)), port_(port), limit_(limit), deadline_(Clock::now() + limit) {
    startLookup(lookup);
}

TelnetDial::~TelnetDial() {
    endLookup();
}

void TelnetDial::startLookup(const AddressLookup& lookup) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        startFailure_ =
            "The host name \"" + host_ + "\" cannot be looked up: " + std::strerror(errno) + ".";
        return;
    }
    const pid_t parent = ::getpid();
    lookupPid_ = ::fork();
    if (lookupPid_ == 0) {
        ::close(ends[0]);
        // Dies with the window, even when that is killed outright.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() == parent) {
            (void)writeAll(ends[1], lookupReplyOf(lookup(host_)));
        }
        ::_exit(0);
    }
    const int error = errno;
    ::close(ends[1]);
    lookupPipe_.reset(ends[0]);
    if (lookupPid_ < 0) {
        lookupPipe_.reset();
        startFailure_ =
            "The host name \"" + host_ + "\" cannot be looked up: " + std::strerror(error) + ".";
        return;
    }
    ::fcntl(lookupPipe_.get(), F_SETFL, O_NONBLOCK);
}

void TelnetDial::endLookup() {
    lookupPipe_.reset();
    if (lookupPid_ > 0) {
        ::kill(lookupPid_, SIGKILL);
        ::waitpid(lookupPid_, nullptr, 0);
        lookupPid_ = -1;
    }
}

int TelnetDial::fd() const {
    return lookupPipe_.valid() ? lookupPipe_.get() : socket_.get();
}

short TelnetDial::events() const {
    return lookupPipe_.valid() ? POLLIN : POLLOUT;
}

int TelnetDial::millisecondsLeft() const {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left + 1, 0));
}

std::optional<Outcome<UniqueFd>> TelnetDial::step() {
    if (!startFailure_.empty()) {
        return Failure{startFailure_};
    }
    if (lookupPipe_.valid()) {
        if (auto done = takeAddresses()) {
            return done;
        }
        if (pastDeadline()) {
            endLookup();
            return Failure{"The host name \"" + host_ + "\" was not looked up within " +
                           describeLimit(limit_) + ": the name service does not answer."};
        }
        return std::nullopt;
    }
    if (auto done = finishConnect()) {
        return done;
    }
    if (pastDeadline()) {
        socket_.reset();
        return cannotConnect(ETIMEDOUT);
    }
    return std::nullopt;
}

std::optional<Outcome<UniqueFd>> TelnetDial::takeAddresses() {
    for (;;) {
        const std::string bytes = readSome(lookupPipe_.get());
        if (bytes.empty() && errno == EAGAIN) {
            return std::nullopt;
        }
        lookupReply_ += bytes;
        if (bytes.empty() || lookupReply_.size() > MAX_LOOKUP_REPLY) {
            break;
        }
    }
    endLookup();
    if (!lookupReply_.empty() && lookupReply_.front() == FAILURE_MARK) {
        return Failure{lookupReply_.substr(1)};
    }
    addresses_ = linesOf(lookupReply_);
    if (addresses_.empty()) {
        return Failure{"The host name \"" + host_ +
                       "\" cannot be resolved: the lookup gave no "
                       "address."};
    }
    return connectNext();
}

std::optional<Outcome<UniqueFd>> TelnetDial::connectNext() {
    while (nextAddress_ < addresses_.size()) {
        addrinfo hints{};
        hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const std::string& address = addresses_[nextAddress_++];
        if (::getaddrinfo(address.c_str(), std::to_string(port_).c_str(), &hints, &found) != 0) {
            continue;
        }
        UniqueFd socket(::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        int error = !socket.valid()                                                   ? errno
                    : ::connect(socket.get(), found->ai_addr, found->ai_addrlen) == 0 ? 0
                                                                                      : errno;
        ::freeaddrinfo(found);
        if (error == 0) {
            return Outcome<UniqueFd>(std::move(socket));
        }
        if (error == EINPROGRESS) {
            socket_ = std::move(socket);
            return std::nullopt;
        }
        lastError_ = error;
    }
    return cannotConnect(lastError_);
}

std::optional<Outcome<UniqueFd>> TelnetDial::finishConnect() {
    pollfd writable{socket_.get(), POLLOUT, 0};
    if (!socket_.valid() || ::poll(&writable, 1, 0) != 1) {
        return std::nullopt;
    }
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(socket_.get(), SOL_SOCKET, SO_ERROR, &error, &size);
    if (error == 0) {
        return Outcome<UniqueFd>(std::move(socket_));
    }
    lastError_ = error;
    socket_.reset();
    return connectNext();
}

Failure TelnetDial::cannotConnect(int error) const {
    return Failure{"Cannot connect to " + host_ + " port " + std::to_string(port_) + ": " +
                   std::strerror(error) + "."};
}

} // namespace zeb::engine
