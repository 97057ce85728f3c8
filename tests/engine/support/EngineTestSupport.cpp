#include "EngineTestSupport.h"

#include "FdIo.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"
#include "StoreWrites.h"

#include <libtelnet.h>

#include <QJsonDocument>

#include <algorithm>
#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace zeb::engine::test {

bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step,
               std::chrono::milliseconds pause) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(WAIT_LIMIT_MS);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        step();
        std::this_thread::sleep_for(pause);
    }
    return true;
}

void readInto(int fd, std::string& got) {
    pollfd readable{fd, POLLIN, 0};
    if (::poll(&readable, 1, 100) == 1) {
        got += readSome(fd);
    }
}

bool readUntil(int fd, std::string& got, const std::string& wanted) {
    return waitUntil([&] { return got.find(wanted) != std::string::npos; },
                     [&] { readInto(fd, got); });
}

std::string contentsOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

std::string startupScript(const std::string& host, bool runStep) {
    return std::string(":S\r\nDSK0:LOG.LIT[1,4] SYS:\r\n:R\r\n") +
           (runStep ? "DSK0:RUN.LIT[1,4] DUMMY.RUN\r\n" : "") +
           "DSK0:XY.LIT[1,4] = 0\r\nDSK0:TELNET.LIT[1,4] " + host + "\r\n:S\r\nDSK0:HOST.LIT[1,4]";
}

FolderWithStore::FolderWithStore()
    : previous_(reg::installBackend(std::make_unique<reg::SqliteRegistry>(storePath()))) {}

FolderWithStore::~FolderWithStore() {
    reg::installBackend(std::move(previous_));
}

void storeText(const std::string& keyPath, const std::string& name, const std::string& text) {
    if (!PutText(keyPath, name, text)) {
        qFatal("The test store does not take %s\\%s", keyPath.c_str(), name.c_str());
    }
}

void storeHost(const std::string& name,
               const std::vector<std::pair<std::string, std::string>>& values) {
    if (!ListHostName(name)) {
        qFatal("The test store does not list the host %s", name.c_str());
    }
    for (const auto& [valueName, text] : values) {
        storeText(layout::hostKeyPath(name), valueName, text);
    }
}

namespace {

// The host's side: it will echo and suppress go-ahead, and wants the client's terminal type and
// window size.
const telnet_telopt_t SERVER_OPTIONS[] = {
    {TELNET_TELOPT_ECHO, TELNET_WILL, TELNET_DONT},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_TTYPE, TELNET_WONT, TELNET_DO},
    {TELNET_TELOPT_NAWS, TELNET_WONT, TELNET_DO},
    {-1, 0, 0},
};

// A TCP socket bound to a free port on 127.0.0.1, and that port.
UniqueFd loopbackSocket(std::uint16_t& port) {
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    ::bind(socket.get(), reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return socket;
}

} // namespace

struct TelnetTestServer::Client {
    UniqueFd socket;
    TelnetObservations& seen;
    telnet_t* telnet = nullptr;
    ~Client() { telnet_free(telnet); }

    static void onEvent(telnet_t* telnet, telnet_event_t* event, void* data) {
        auto& client = *static_cast<Client*>(data);
        auto& seen = client.seen;
        const auto type = event->type;
        if (type == TELNET_EV_SEND) {
            writeAll(client.socket.get(), {event->data.buffer, event->data.size});
        } else if (type == TELNET_EV_DATA) {
            seen.received.append(event->data.buffer, event->data.size);
        } else if (type == TELNET_EV_DO || type == TELNET_EV_WILL) {
            seen.agreed.insert({type, event->neg.telopt});
            if (type == TELNET_EV_WILL && event->neg.telopt == TELNET_TELOPT_TTYPE) {
                telnet_ttype_send(telnet);
            }
        } else if (type == TELNET_EV_TTYPE && event->ttype.cmd == TELNET_TTYPE_IS) {
            auto& types = seen.terminalTypes;
            const bool endHeard = std::adjacent_find(types.begin(), types.end()) != types.end();
            types.emplace_back(event->ttype.name);
            if (!endHeard) {
                telnet_ttype_send(telnet);
            }
        } else if (type == TELNET_EV_SUBNEGOTIATION && event->sub.telopt == TELNET_TELOPT_NAWS &&
                   event->sub.size == 4) {
            const auto* size = reinterpret_cast<const unsigned char*>(event->sub.buffer);
            seen.columns = size[0] << 8 | size[1];
            seen.rows = size[2] << 8 | size[3];
        }
    }
};

TelnetTestServer::TelnetTestServer() : listener_(loopbackSocket(port_)) {
    ::listen(listener_.get(), 1);
}

TelnetTestServer::~TelnetTestServer() = default;

void TelnetTestServer::serve() {
    pollfd readable{client_ ? client_->socket.get() : listener_.get(), POLLIN, 0};
    if (::poll(&readable, 1, 100) != 1) {
        return;
    }
    if (!client_) {
        client_.reset(new Client{
            UniqueFd(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC)), seen_});
        client_->telnet = telnet_init(SERVER_OPTIONS, &Client::onEvent, 0, client_.get());
        telnet_negotiate(client_->telnet, TELNET_WILL, TELNET_TELOPT_ECHO);
        telnet_negotiate(client_->telnet, TELNET_WILL, TELNET_TELOPT_SGA);
        telnet_negotiate(client_->telnet, TELNET_DO, TELNET_TELOPT_TTYPE);
        telnet_negotiate(client_->telnet, TELNET_DO, TELNET_TELOPT_NAWS);
    } else if (const std::string bytes = readSome(client_->socket.get()); bytes.empty()) {
        client_.reset(); // the client has gone
    } else {
        telnet_recv(client_->telnet, bytes.data(), bytes.size());
    }
}

bool TelnetTestServer::waitFor(const std::function<bool(const TelnetObservations&)>& done) {
    return waitUntil([&] { return done(seen_); }, [&] { serve(); });
}

void TelnetTestServer::send(const std::string& data) {
    if (waitUntil([&] { return client_ != nullptr; }, [&] { serve(); })) {
        telnet_send(client_->telnet, data.data(), data.size());
    }
}

void TelnetTestServer::closeClient() {
    client_.reset();
}

EngineClient::EngineClient(const QProcessEnvironment& environment) {
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(ENGINE_PROGRAM, {"-Embedding"});
    process_.waitForStarted(WAIT_LIMIT_MS);
}

QJsonObject EngineClient::call(const QString& name, const QJsonArray& args) {
    const QJsonObject request{{"id", nextId_++}, {"call", name}, {"args", args}};
    return sendLine(QJsonDocument(request).toJson(QJsonDocument::Compact));
}

QJsonObject EngineClient::sendLine(const QByteArray& line) {
    process_.write(line + '\n');
    waitUntil([&] { return process_.canReadLine() || process_.state() != QProcess::Running; },
              [&] { process_.waitForReadyRead(100); });
    return QJsonDocument::fromJson(process_.readLine()).object();
}

std::optional<int> EngineClient::closeAndWait() {
    process_.closeWriteChannel();
    process_.closeReadChannel(QProcess::StandardOutput);
    if (!process_.waitForFinished(WAIT_LIMIT_MS)) {
        return std::nullopt;
    }
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

} // namespace zeb::engine::test
