// Helpers for the engine's tests: the real things the engine meets at run time, made small and
// private to one test: a scratch folder, a store file, a Telnet host, the session side running on a
// pseudo-terminal, and the protocol side driven through real pipes. Every wait has a bound.
#pragma once

#include "Protocol.h"
#include "RegistryBackend.h"
#include "UniqueFd.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace zeb::engine::test {

using namespace std::chrono_literals;

// Long enough for a sanitized build on a busy machine; only reached when something is wrong.
inline constexpr std::chrono::milliseconds WAIT_LIMIT = 15s;

// Calls `step` until `done` holds or the limit has passed; returns whether it holds.
bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step,
               std::chrono::milliseconds limit = WAIT_LIMIT);

// A fresh folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A Configuration store file that child processes read through ZEB_REGISTRY. While it lives it is
// also this process's store, so the test fills it through CRegKey as ZEB's dialogs do.
class FileStore {
public:
    explicit FileStore(std::string path);
    ~FileStore();
    FileStore(const FileStore&) = delete;
    FileStore& operator=(const FileStore&) = delete;

    const std::string& path() const { return path_; }
    void set(const std::string& keyPath, const std::string& name, const std::string& text);
    // A host record as the host editor writes it: the HostList value and the Hosts\<name> values.
    void addHost(const std::string& name,
                 const std::vector<std::pair<std::string, std::string>>& values);

private:
    std::string path_;
    std::unique_ptr<reg::RegistryBackend> previous_;
};

// What a Telnet host saw of its one client.
struct TelnetObservations {
    bool connected = false;
    bool closed = false; // the client has gone
    std::string terminalType;
    int columns = -1;
    int rows = -1;
    std::string received;         // data characters, Telnet commands taken out
    std::set<std::string> agreed; // "DO ECHO", "DO SGA", "WILL TTYPE", "WILL NAWS", ...
};

// A Telnet host on 127.0.0.1 with a port of its own: it accepts one client, offers to echo and to
// suppress go-ahead, asks for the terminal type and the window size, and sends what the test
// gives it. It runs on a thread of its own so that the test can wait on the other end.
class TelnetTestServer {
public:
    TelnetTestServer();
    ~TelnetTestServer();
    TelnetTestServer(const TelnetTestServer&) = delete;
    TelnetTestServer& operator=(const TelnetTestServer&) = delete;

    std::uint16_t port() const { return port_; }
    void send(const std::string& data); // as Telnet data (0xFF goes as IAC IAC)
    void closeClient();
    // Waits until the observations satisfy `done`; returns whether they did within the limit.
    bool waitFor(const std::function<bool(const TelnetObservations&)>& done);
    TelnetObservations observations();

private:
    struct Shared;
    void serve();

    std::uint16_t port_ = 0;
    UniqueFd listener_;
    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

// A local TCP port on which nothing listens (it was bound and closed again).
std::uint16_t refusingPort();

// The listening end that the protocol side would own: the session side connects to it.
class LinkEnd {
public:
    explicit LinkEnd(const std::string& socketPath);
    const std::string& socketPath() const { return socketPath_; }
    bool accept(); // waits for the session side within the limit
    void send(LinkKind kind, const std::string& text);
    void close() { peer_.reset(); }

private:
    std::string socketPath_;
    UniqueFd listener_;
    UniqueFd peer_;
};

// The engine's session side running on a pseudo-terminal of the given size, as inside a window.
class PtySession {
public:
    PtySession(const std::string& program, const std::string& socketPath,
               const std::vector<std::pair<std::string, std::string>>& environment,
               int columns = 100, int rows = 30);
    ~PtySession();
    PtySession(const PtySession&) = delete;
    PtySession& operator=(const PtySession&) = delete;

    // Waits until the terminal has shown `text` (anywhere in all it has shown so far).
    bool waitForOutput(const std::string& text);
    const std::string& output() const { return output_; }
    void type(const std::string& keys);
    // The exit status once the session has ended within the limit.
    std::optional<int> waitForExit();
    int masterFd() const { return master_.get(); }

private:
    void readAvailable(int timeoutMs);

    UniqueFd master_;
    pid_t pid_ = -1;
    std::string output_;
};

// The protocol side started as ZEB starts it: "-Embedding", pipes on standard input and output.
class EngineClient {
public:
    EngineClient(const QString& program, const QProcessEnvironment& environment);
    ~EngineClient();

    // One call and its reply (an empty object when no reply came within the limit).
    QJsonObject call(const QString& name, const QJsonArray& args = {});
    // One raw line and the reply to it.
    QJsonObject sendLine(const QByteArray& line);
    // What ZEB does at the end: close both pipes. Returns the exit code once the engine has ended.
    std::optional<int> closeAndWait();

private:
    QProcess process_;
    int nextId_ = 1;
};

// The call's id, status, result and error from a reply object.
std::int64_t idOf(const QJsonObject& reply);
std::int32_t statusOf(const QJsonObject& reply);

} // namespace zeb::engine::test
