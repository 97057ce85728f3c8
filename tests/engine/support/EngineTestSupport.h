// Helpers for the engine's tests: the real things the engine meets at run time, each private to
// one test: a scratch folder, a store file, a Telnet host and the protocol side through real pipes.
// Every wait has a bound.
#pragma once

#include "Protocol.h"
#include "RegistryBackend.h"
#include "UniqueFd.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace zeb::engine::test {

using namespace std::chrono_literals;

// Long enough for a sanitized build on a busy machine; only reached when something is wrong.
inline constexpr int WAIT_LIMIT_MS = 15'000;

// Calls `step`, then pauses, until `done` holds or the limit has passed; returns whether it holds.
bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step,
               std::chrono::milliseconds pause = 0ms);

// Appends what `fd` has to `got`, waiting at most a tenth of a second for it.
void readInto(int fd, std::string& got);
// Reads from `fd` into `got` until `got` contains `wanted`; returns whether it came.
bool readUntil(int fd, std::string& got, const std::string& wanted);

// A fresh folder, removed with everything in it at the end.
struct TempFolder {
    QTemporaryDir dir;
    std::string file(const std::string& name) const {
        return dir.path().toStdString() + "/" + name;
    }
};

std::string contentsOf(const std::string& path);

// ZEB's start-up script for a host: seven lines, eight with the run step.
std::string startupScript(const std::string& host, bool runStep = false);

// A fresh folder with a Configuration store file in it for child processes (ZEB_REGISTRY); while
// it lives, the store is also this process's.
class FolderWithStore : public TempFolder {
public:
    FolderWithStore();
    ~FolderWithStore();
    std::string storePath() const { return file("registry.db"); }

private:
    std::unique_ptr<reg::RegistryBackend> previous_;
};

// Writes to this process's store as ZEB's dialogs do: one text, or a host record (its HostList
// value and its Hosts\<name> values). A write that fails ends the test program.
void storeText(const std::string& keyPath, const std::string& name, const std::string& text);
void storeHost(const std::string& name,
               const std::vector<std::pair<std::string, std::string>>& values);

// What a Telnet host saw of its client.
struct TelnetObservations {
    // Every answer to the host's questions for the terminal type. It asks again until it hears
    // the same type twice in a row, the client's sign that it has no more (RFC 1091), and then
    // once more, as a host that knows none of them does to get back to the first.
    std::vector<std::string> terminalTypes;
    int columns = -1;
    int rows = -1;
    std::string received;                 // data characters, Telnet commands taken out
    std::set<std::pair<int, int>> agreed; // the client's answers: {TELNET_EV_DO, option}, ...
};

// A Telnet host on 127.0.0.1 that accepts one client, offers to echo and to suppress go-ahead, and
// asks for the terminal type and the window size. It serves only while the test waits on it; that
// is enough, as the engine never waits for its host.
class TelnetTestServer {
public:
    TelnetTestServer();
    ~TelnetTestServer();
    std::uint16_t port() const { return port_; }
    void send(const std::string& data); // as Telnet data (0xFF goes as IAC IAC)
    void closeClient();
    bool waitFor(const std::function<bool(const TelnetObservations&)>& done);

private:
    struct Client;
    void serve();

    std::uint16_t port_ = 0;
    UniqueFd listener_;
    std::unique_ptr<Client> client_;
    TelnetObservations seen_;
};

// The protocol side started as ZEB starts it: "-Embedding", pipes on standard input and output.
class EngineClient {
public:
    explicit EngineClient(const QProcessEnvironment& environment); // killed when it goes
    // One call or line and its reply (an empty object when none came within the limit).
    QJsonObject call(const QString& name, const QJsonArray& args = {});
    QJsonObject sendLine(const QByteArray& line);
    std::optional<int> closeAndWait(); // closes both pipes as ZEB does; the exit code

private:
    QProcess process_;
    int nextId_ = 1;
};

inline std::int64_t idOf(const QJsonObject& reply) {
    return reply.value("id").toInteger(-1);
}
inline std::int32_t statusOf(const QJsonObject& reply) {
    return static_cast<std::int32_t>(reply.value("status").toInteger(1));
}

} // namespace zeb::engine::test
