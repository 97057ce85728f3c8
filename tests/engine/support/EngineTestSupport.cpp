#include "EngineTestSupport.h"

#include "CRegKey.h"
#include "FdIo.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"

#include <libtelnet.h>

#include <QJsonDocument>
#include <QtGlobal>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zeb::engine::test {

bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step,
               std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        step();
    }
    return true;
}

// ---- TempFolder -------------------------------------------------------------------------------

TempFolder::TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/zeb-engine-test-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

// ---- FileStore --------------------------------------------------------------------------------

FileStore::FileStore(std::string path)
    : path_(std::move(path)),
      previous_(reg::installBackend(std::make_unique<reg::SqliteRegistry>(path_))) {}

FileStore::~FileStore() {
    reg::installBackend(std::move(previous_));
}

void FileStore::set(const std::string& keyPath, const std::string& name, const std::string& text) {
    reg::CRegKey key;
    if (key.Create(reg::HKEY_LOCAL_MACHINE, keyPath) == reg::ERROR_SUCCESS) {
        key.SetValue(text, name);
        key.CloseKey();
    }
}

void FileStore::addHost(const std::string& name,
                        const std::vector<std::pair<std::string, std::string>>& values) {
    set(layout::HOSTLIST_KEY, name, layout::HOSTLIST_MARK);
    for (const auto& [valueName, text] : values) {
        set(std::string(layout::HOSTS_KEY) + "\\" + name, valueName, text);
    }
}

// ---- TelnetTestServer -------------------------------------------------------------------------

struct TelnetTestServer::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    TelnetObservations seen;
    std::vector<std::string> outgoing; // data the test wants sent
    bool closeRequested = false;
    bool stopRequested = false;
};

namespace {

// The host's side: it will echo and suppress go-ahead, and wants the client's terminal type and
// window size.
const telnet_telopt_t kServerOptions[] = {
    {TELNET_TELOPT_ECHO, TELNET_WILL, TELNET_DONT},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_TTYPE, TELNET_WONT, TELNET_DO},
    {TELNET_TELOPT_NAWS, TELNET_WONT, TELNET_DO},
    {-1, 0, 0},
};

const char* optionName(unsigned char option) {
    switch (option) {
    case TELNET_TELOPT_ECHO:
        return "ECHO";
    case TELNET_TELOPT_SGA:
        return "SGA";
    case TELNET_TELOPT_TTYPE:
        return "TTYPE";
    case TELNET_TELOPT_NAWS:
        return "NAWS";
    default:
        return "OTHER";
    }
}

struct ServerConnection {
    int fd;
    TelnetObservations* seen;
};

void onServerEvent(telnet_t* telnet, telnet_event_t* event, void* data) {
    auto* connection = static_cast<ServerConnection*>(data);
    auto& seen = *connection->seen;
    switch (event->type) {
    case TELNET_EV_SEND:
        writeAll(connection->fd, {event->data.buffer, event->data.size});
        break;
    case TELNET_EV_DATA:
        seen.received.append(event->data.buffer, event->data.size);
        break;
    case TELNET_EV_DO:
        seen.agreed.insert(std::string("DO ") + optionName(event->neg.telopt));
        break;
    case TELNET_EV_WILL:
        seen.agreed.insert(std::string("WILL ") + optionName(event->neg.telopt));
        if (event->neg.telopt == TELNET_TELOPT_TTYPE) {
            telnet_ttype_send(telnet);
        }
        break;
    case TELNET_EV_TTYPE:
        if (event->ttype.cmd == TELNET_TTYPE_IS) {
            seen.terminalType = event->ttype.name;
        }
        break;
    case TELNET_EV_SUBNEGOTIATION:
        if (event->sub.telopt == TELNET_TELOPT_NAWS && event->sub.size == 4) {
            const auto* size = reinterpret_cast<const unsigned char*>(event->sub.buffer);
            seen.columns = size[0] << 8 | size[1];
            seen.rows = size[2] << 8 | size[3];
        }
        break;
    default:
        break;
    }
}

} // namespace

TelnetTestServer::TelnetTestServer() : shared_(std::make_shared<Shared>()) {
    listener_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), size);
    ::listen(listener_.get(), 1);
    ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC) == 0) {
        wakeRead_.reset(wake[0]);
        wakeWrite_.reset(wake[1]);
    }
    thread_ = std::thread([this] { serve(); });
}

TelnetTestServer::~TelnetTestServer() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopRequested = true;
    }
    writeAll(wakeWrite_.get(), "x");
    thread_.join();
}

void TelnetTestServer::send(const std::string& data) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->outgoing.push_back(data);
    }
    writeAll(wakeWrite_.get(), "x");
}

void TelnetTestServer::closeClient() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->closeRequested = true;
    }
    writeAll(wakeWrite_.get(), "x");
}

bool TelnetTestServer::waitFor(const std::function<bool(const TelnetObservations&)>& done) {
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(lock, WAIT_LIMIT, [&] { return done(shared_->seen); });
}

TelnetObservations TelnetTestServer::observations() {
    std::lock_guard lock(shared_->mutex);
    return shared_->seen;
}

void TelnetTestServer::serve() {
    UniqueFd client;
    TelnetObservations seen; // the thread's own copy, published after every change
    ServerConnection connection{-1, &seen};
    telnet_t* telnet = nullptr;
    const auto publish = [&] {
        std::lock_guard lock(shared_->mutex);
        shared_->seen = seen;
        shared_->changed.notify_all();
    };
    for (;;) {
        std::vector<pollfd> fds{{wakeRead_.get(), POLLIN, 0},
                                {client.valid() ? client.get() : listener_.get(), POLLIN, 0}};
        ::poll(fds.data(), fds.size(), -1);
        if (fds[0].revents != 0) {
            readSome(wakeRead_.get());
            std::unique_lock lock(shared_->mutex);
            if (shared_->stopRequested) {
                break;
            }
            auto outgoing = std::exchange(shared_->outgoing, {});
            const bool close = std::exchange(shared_->closeRequested, false);
            lock.unlock();
            for (const auto& data : outgoing) {
                if (telnet != nullptr) {
                    telnet_send(telnet, data.data(), data.size());
                }
            }
            if (close && client.valid()) {
                client.reset();
            }
        }
        if (fds[1].revents == 0) {
            continue;
        }
        if (!client.valid()) {
            client.reset(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
            connection.fd = client.get();
            telnet = telnet_init(kServerOptions, &onServerEvent, 0, &connection);
            seen.connected = true;
            telnet_negotiate(telnet, TELNET_WILL, TELNET_TELOPT_ECHO);
            telnet_negotiate(telnet, TELNET_WILL, TELNET_TELOPT_SGA);
            telnet_negotiate(telnet, TELNET_DO, TELNET_TELOPT_TTYPE);
            telnet_negotiate(telnet, TELNET_DO, TELNET_TELOPT_NAWS);
        } else {
            const std::string bytes = readSome(client.get());
            if (bytes.empty()) {
                seen.closed = true;
                client.reset();
            } else {
                telnet_recv(telnet, bytes.data(), bytes.size());
            }
        }
        publish();
    }
    if (telnet != nullptr) {
        telnet_free(telnet);
    }
}

std::uint16_t refusingPort() {
    UniqueFd probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(probe.get(), reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port); // closed when `probe` goes: nothing listens there
}

// ---- LinkEnd ----------------------------------------------------------------------------------

LinkEnd::LinkEnd(const std::string& socketPath) : socketPath_(socketPath) {
    listener_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_.get(), 1);
}

bool LinkEnd::accept() {
    pollfd waiting{listener_.get(), POLLIN, 0};
    if (::poll(&waiting, 1, static_cast<int>(WAIT_LIMIT.count())) != 1) {
        return false;
    }
    peer_.reset(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    return peer_.valid();
}

void LinkEnd::send(LinkKind kind, const std::string& text) {
    writeAll(peer_.get(), encodeLinkMessage({kind, text}));
}

// ---- PtySession -------------------------------------------------------------------------------

PtySession::PtySession(const std::string& program, const std::string& socketPath,
                       const std::vector<std::pair<std::string, std::string>>& environment,
                       int columns, int rows) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    int master = -1;
    pid_ = ::forkpty(&master, nullptr, nullptr, &size);
    if (pid_ == 0) {
        for (const auto& [name, value] : environment) {
            ::setenv(name.c_str(), value.c_str(), 1);
        }
        ::execl(program.c_str(), program.c_str(), "--session", socketPath.c_str(), nullptr);
        ::_exit(127);
    }
    master_.reset(master);
}

PtySession::~PtySession() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

void PtySession::readAvailable(int timeoutMs) {
    pollfd readable{master_.get(), POLLIN, 0};
    if (::poll(&readable, 1, timeoutMs) == 1) {
        output_ += readSome(master_.get());
    }
}

bool PtySession::waitForOutput(const std::string& text) {
    const bool shown = waitUntil([&] { return output_.find(text) != std::string::npos; },
                                 [&] { readAvailable(100); });
    if (!shown) { // what the terminal did show is what explains the failure
        qWarning("The terminal showed: %s",
                 QByteArray::fromStdString(output_).toPercentEncoding(" :.,\"/()[]").constData());
    }
    return shown;
}

void PtySession::type(const std::string& keys) {
    writeAll(master_.get(), keys);
}

std::optional<int> PtySession::waitForExit() {
    int status = 0;
    const bool ended = waitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; },
                                 [&] { readAvailable(50); });
    if (!ended) {
        return std::nullopt;
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// ---- EngineClient -----------------------------------------------------------------------------

EngineClient::EngineClient(const QString& program, const QProcessEnvironment& environment) {
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(program, {"-Embedding"});
    process_.waitForStarted(static_cast<int>(WAIT_LIMIT.count()));
}

EngineClient::~EngineClient() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(static_cast<int>(WAIT_LIMIT.count()));
    }
}

QJsonObject EngineClient::call(const QString& name, const QJsonArray& args) {
    const QJsonObject request{{"id", nextId_++}, {"call", name}, {"args", args}};
    return sendLine(QJsonDocument(request).toJson(QJsonDocument::Compact));
}

QJsonObject EngineClient::sendLine(const QByteArray& line) {
    process_.write(line + '\n');
    const auto deadline = std::chrono::steady_clock::now() + WAIT_LIMIT;
    while (!process_.canReadLine() && std::chrono::steady_clock::now() < deadline &&
           process_.state() == QProcess::Running) {
        process_.waitForReadyRead(100);
    }
    return QJsonDocument::fromJson(process_.readLine()).object();
}

std::optional<int> EngineClient::closeAndWait() {
    process_.closeWriteChannel();
    process_.closeReadChannel(QProcess::StandardOutput);
    if (!process_.waitForFinished(static_cast<int>(WAIT_LIMIT.count()))) {
        return std::nullopt;
    }
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

std::int64_t idOf(const QJsonObject& reply) {
    return reply.value("id").toInteger(-1);
}

std::int32_t statusOf(const QJsonObject& reply) {
    return static_cast<std::int32_t>(reply.value("status").toInteger(1));
}

} // namespace zeb::engine::test
