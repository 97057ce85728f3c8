#include "HostConnection.h"

#include "FdIo.h"
#include "TerminalText.h"

#include <libtelnet.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

namespace zeb::engine {

namespace {

// How long a Telnet host may take to accept the connection.
constexpr std::chrono::seconds kConnectLimit{30};

// What this side does (us) and lets the host do (him): the host may echo and suppress go-ahead;
// this side suppresses go-ahead and tells its terminal type and window size.
const telnet_telopt_t kTelnetOptions[] = {
    {TELNET_TELOPT_ECHO, TELNET_WONT, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_TTYPE, TELNET_WILL, TELNET_DONT},
    {TELNET_TELOPT_NAWS, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

std::string endedBecause(const char* what) {
    return errno == 0 ? std::string(what)
                      : std::string("The connection failed: ") + std::strerror(errno) + ".";
}

class TelnetConnection final : public HostConnection {
public:
    TelnetConnection(UniqueFd socket, std::string terminalType, int columns, int rows)
        : socket_(std::move(socket)), terminalType_(std::move(terminalType)), columns_(columns),
          rows_(rows), telnet_(telnet_init(kTelnetOptions, &TelnetConnection::onEvent, 0, this)) {
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
        telnet_recv(telnet_, bytes.data(), bytes.size());
        Received received{std::exchange(received_, {}), std::nullopt};
        if (!failure_.empty()) {
            received.ended = failure_;
        }
        return received;
    }

    Outcome<bool> send(std::string_view keys) override {
        const std::string line = enterAsCrLf(keys); // Enter is CR LF on a Telnet connection
        telnet_send(telnet_, line.data(), line.size());
        if (!failure_.empty()) {
            return Failure{failure_};
        }
        return true;
    }

    void resize(int columns, int rows) override {
        columns_ = columns;
        rows_ = rows;
        if (windowSizeAgreed_) {
            sendWindowSize();
        }
    }

    bool wantsLocalEcho() const override { return !hostEchoes_; }

private:
    static void onEvent(telnet_t*, telnet_event_t* event, void* self) {
        static_cast<TelnetConnection*>(self)->handle(*event);
    }

    void handle(const telnet_event_t& event) {
        switch (event.type) {
        case TELNET_EV_DATA:
            received_.append(event.data.buffer, event.data.size);
            break;
        case TELNET_EV_SEND:
            if (!writeAll(socket_.get(), {event.data.buffer, event.data.size}) &&
                failure_.empty()) {
                failure_ = endedBecause("The connection was lost.");
            }
            break;
        case TELNET_EV_WILL:
        case TELNET_EV_WONT:
            if (event.neg.telopt == TELNET_TELOPT_ECHO) {
                hostEchoes_ = event.type == TELNET_EV_WILL;
            }
            break;
        case TELNET_EV_DO:
        case TELNET_EV_DONT:
            if (event.neg.telopt == TELNET_TELOPT_NAWS) {
                windowSizeAgreed_ = event.type == TELNET_EV_DO;
                if (windowSizeAgreed_) {
                    sendWindowSize();
                }
            }
            break;
        case TELNET_EV_TTYPE:
            if (event.ttype.cmd == TELNET_TTYPE_SEND) {
                telnet_ttype_is(telnet_, terminalType_.c_str());
            }
            break;
        case TELNET_EV_ERROR:
            failure_ = std::string("The Telnet connection failed: ") + event.error.msg + ".";
            break;
        default:
            break;
        }
    }

    void sendWindowSize() {
        const unsigned char size[4] = {
            static_cast<unsigned char>(columns_ >> 8), static_cast<unsigned char>(columns_ & 0xFF),
            static_cast<unsigned char>(rows_ >> 8), static_cast<unsigned char>(rows_ & 0xFF)};
        telnet_subnegotiation(telnet_, TELNET_TELOPT_NAWS, reinterpret_cast<const char*>(size), 4);
    }

    UniqueFd socket_;
    std::string terminalType_;
    int columns_;
    int rows_;
    telnet_t* telnet_;
    std::string received_;
    std::string failure_;
    bool hostEchoes_ = false;
    bool windowSizeAgreed_ = false;
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

    Outcome<bool> send(std::string_view keys) override {
        if (!writeAll(port_.get(), keys)) {
            return Failure{"The serial line " + device_ + " failed: " + std::strerror(errno) + "."};
        }
        return true;
    }

private:
    UniqueFd port_;
    std::string device_;
};

// Waits, within what is left of the limit, for a non-blocking connect to finish.
int finishConnect(int fd, std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd writable{fd, POLLOUT, 0};
    if (::poll(&writable, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) {
        return ETIMEDOUT;
    }
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
    return error;
}

Outcome<UniqueFd> connectSocket(const TelnetTarget& target) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* addresses = nullptr;
    const std::string where = target.address + " port " + std::to_string(target.port);
    const int lookup = ::getaddrinfo(target.address.c_str(), std::to_string(target.port).c_str(),
                                     &hints, &addresses);
    if (lookup != 0) {
        return Failure{"The host name \"" + target.address +
                       "\" cannot be resolved: " + ::gai_strerror(lookup) + "."};
    }
    const auto deadline = std::chrono::steady_clock::now() + kConnectLimit;
    int error = ECONNREFUSED;
    for (const addrinfo* address = addresses; address != nullptr; address = address->ai_next) {
        UniqueFd socket(::socket(address->ai_family,
                                 address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                 address->ai_protocol));
        if (!socket.valid()) {
            error = errno;
            continue;
        }
        error = ::connect(socket.get(), address->ai_addr, address->ai_addrlen) == 0 ? 0 : errno;
        if (error == EINPROGRESS) {
            error = finishConnect(socket.get(), deadline);
        }
        if (error == 0) {
            ::freeaddrinfo(addresses);
            return socket;
        }
    }
    ::freeaddrinfo(addresses);
    return Failure{"Cannot connect to " + where + ": " + std::strerror(error) + "."};
}

} // namespace

Outcome<std::unique_ptr<HostConnection>> connectTelnet(const TelnetTarget& target, int columns,
                                                       int rows) {
    auto socket = connectSocket(target);
    if (failed(socket)) {
        return Failure{failureOf(socket)};
    }
    return std::make_unique<TelnetConnection>(std::move(std::get<UniqueFd>(socket)),
                                              target.terminalType, columns, rows);
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
