// Helpers for the engine's tests: a scratch folder with a store, a real Telnet server, and the
// protocol side through real pipes. Every wait has a bound.
#pragma once

#include "RegistryBackend.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zeb::engine::test {

using namespace std::chrono_literals;

// Long enough for a sanitized build on a busy machine; only reached when something is wrong.
inline constexpr int WAIT_LIMIT_MS = 15'000;

// Calls `step`, then pauses, until `done` holds or the limit has passed; returns whether it holds.
bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step,
               std::chrono::milliseconds pause = 0ms);
// Reads from `fd` into `got` until `got` contains `wanted`; returns whether it came.
bool readUntil(int fd, std::string& got, const std::string& wanted);
void readInto(int fd, std::string& got); // waits a tenth of a second at most
std::string contentsOf(const std::string& path);

// ZEB's start-up script for a host.
std::string startupScript(const std::string& host);

// A fresh folder, removed at the end, with a store file in it for child processes (ZEB_REGISTRY);
// while it lives, the store is also this process's.
class FolderWithStore {
public:
    FolderWithStore();
    ~FolderWithStore();
    std::string file(const std::string& name) const;
    std::string storePath() const { return file("registry.db"); }

private:
    QTemporaryDir dir_;
    std::unique_ptr<reg::RegistryBackend> previous_;
};

// Writes a host record (its HostList value and its Hosts\<name> values), or one text, to this
// process's store; a write that fails ends the test program.
void storeHost(const std::string& name,
               const std::vector<std::pair<std::string, std::string>>& values);
void storeText(const std::string& keyPath, const std::string& name, const std::string& text);

// Debian's inetutils-telnetd on 127.0.0.1, started by socat for one connection, whose login
// program says TERM and the window size, then runs a shell. Its port (empty when it does not
// listen); the server ends with its connection.
std::string startTelnetd(QProcess& server, const FolderWithStore& folder);

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

inline std::int32_t statusOf(const QJsonObject& reply) {
    return static_cast<std::int32_t>(reply.value("status").toInteger(1));
}

} // namespace zeb::engine::test
