#include "EngineTestSupport.h"

#include "FdIo.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"
#include "StoreWrites.h"

#include <QJsonDocument>
#include <QRegularExpression>

#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <thread>

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

std::string startupScript(const std::string& host) {
    return ":S\r\nDSK0:LOG.LIT[1,4] SYS:\r\n:R\r\nDSK0:XY.LIT[1,4] = 0\r\nDSK0:TELNET.LIT[1,4] " +
           host + "\r\n:S\r\nDSK0:HOST.LIT[1,4]";
}

FolderWithStore::FolderWithStore()
    : previous_(reg::installBackend(std::make_unique<reg::SqliteRegistry>(storePath()))) {}

FolderWithStore::~FolderWithStore() {
    reg::installBackend(std::move(previous_));
}

std::string FolderWithStore::file(const std::string& name) const {
    return dir_.path().toStdString() + "/" + name;
}

void storeText(const std::string& keyPath, const std::string& name, const std::string& text) {
    if (!PutText(keyPath, name, text)) {
        qFatal("The test store does not take %s\\%s", keyPath.c_str(), name.c_str());
    }
}

void storeHost(const std::string& name,
               const std::vector<std::pair<std::string, std::string>>& values) {
    storeText(layout::HOSTLIST_KEY, name, layout::HOSTLIST_MARK);
    for (const auto& [valueName, text] : values) {
        storeText(layout::hostKeyPath(name), valueName, text);
    }
}

std::string startTelnetd(QProcess& server, const FolderWithStore& folder) {
    const std::string login = folder.file("login");
    std::ofstream(login) << "#!/bin/sh\necho \"TERM=$TERM SIZE=$(stty size)\"\nexec /bin/sh\n";
    ::chmod(login.c_str(), 0700);
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start("socat",
                 {"-d", "-d", "TCP-LISTEN:0,bind=127.0.0.1",
                  QString::fromStdString("EXEC:\"/usr/sbin/telnetd -h -E " + login + "\",nofork")});
    const QRegularExpression listening("listening on AF=2 127\\.0\\.0\\.1:(\\d+)\n");
    QByteArray said;
    QRegularExpressionMatch port;
    waitUntil([&] { return (port = listening.match(said)).hasMatch() || !server.isOpen(); },
              [&] { server.waitForReadyRead(100), said += server.readAll(); });
    return port.captured(1).toStdString();
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
