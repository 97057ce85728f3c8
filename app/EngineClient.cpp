// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "EngineClient.h"

#include "CRegKey.h"
#include "CommandWords.h"
#include "EngineProtocol.h"
#include "FdIo.h"
#include "StoreLayout.h"
#include "UniqueFd.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zeb {

using Clock = std::chrono::steady_clock;

// One engine process's two pipes and the request counter; the launch uses it only through
// TerminalEngine and EngineControl.
class EngineChannel {
public:
    EngineChannel(UniqueFd toEngine, UniqueFd fromEngine, std::chrono::milliseconds replyBound);
    ~EngineChannel();
    EngineChannel(const EngineChannel&) = delete;
    EngineChannel& operator=(const EngineChannel&) = delete;

    // Sends one request and returns its reply after checking id and status; a reply to a yes/no
    // call must carry a 16-bit "result".
    protocol::Reply call(const char* callName, const QJsonArray& args, bool yesNo = false);
    bool callYesNo(const char* callName, const QJsonArray& args);

private:
    void sendLine(const std::string& line, const char* callName);
    QByteArray receiveLine(const char* callName);
    [[noreturn]] void fail(const char* callName, const QString& what) const;

    UniqueFd toEngine_;
    UniqueFd fromEngine_;
    std::chrono::milliseconds replyBound_;
    qint64 nextId_ = 1;
    QByteArray pending_; // bytes received after the last complete reply line
};

namespace {

std::string registeredEngineCommandLine() {
    reg::CRegKey key;
    if (key.OpenKey(reg::HKEY_LOCAL_MACHINE, layout::ENGINE_SERVER_KEY, reg::KEY_READ) !=
        reg::ERROR_SUCCESS) {
        return {};
    }
    reg::Dword type = reg::REG_SZ;
    reg::RegValue value = std::string();
    reg::Dword size = 4096;
    reg::Status status = key.QueryValue("", type, value, size);
    if (status == reg::ERROR_MORE_DATA) { // a longer command: the first answer told its size
        status = key.QueryValue("", type, value, size);
    }
    key.CloseKey();
    if (status != reg::ERROR_SUCCESS || !std::holds_alternative<std::string>(value)) {
        return {};
    }
    return std::get<std::string>(value);
}

QStringList registeredEngineCommand() {
    const std::string commandLine = registeredEngineCommandLine();
    const auto words = protocol::splitCommandWords(commandLine);
    if (failed(words)) {
        throw LaunchError{E_INVALIDARG,
                          QStringLiteral("The terminal engine's registered command (%1) cannot be "
                                         "used. %2")
                              .arg(QLatin1String(layout::ENGINE_SERVER_KEY),
                                   QString::fromStdString(failureOf(words)))};
    }
    QStringList command;
    for (const std::string& word : std::get<std::vector<std::string>>(words)) {
        command.append(QString::fromStdString(word));
    }
    return command;
}

} // namespace

QStringList findEngineCommand(const QString& programDir) {
    const QStringList registered = registeredEngineCommand();
    if (!registered.isEmpty()) {
        return registered;
    }
    const QString besideZeb = programDir + u'/' + QLatin1String(ENGINE_PROGRAM_NAME);
    if (QFileInfo(besideZeb).isFile()) {
        return {besideZeb};
    }
    return {};
}

namespace {

// The folder of the running zeb executable.
QString programDirectory() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath();
    }
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath())
        .absolutePath();
}

struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

Pipe makePipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw LaunchError{statusFromErrno(errno),
                          QStringLiteral("No pipe to the terminal engine could be made: %1")
                              .arg(QString::fromLocal8Bit(std::strerror(errno)))};
    }
    return {UniqueFd(fds[0]), UniqueFd(fds[1])};
}

// Only async-signal-safe calls from here to exec: ZEB may have other threads.
[[noreturn]] void execEngine(const std::vector<char*>& argv, int stdinFd, int stdoutFd,
                             int errorFd) {
    // Move both ends above 2 first, so that neither dup2 below can overwrite the other; the
    // copies close on exec, so the engine inherits each pipe end once, as its stdin or stdout.
    const int in = fcntl(stdinFd, F_DUPFD_CLOEXEC, 3);
    const int out = fcntl(stdoutFd, F_DUPFD_CLOEXEC, 3);
    if (in < 0 || out < 0 || dup2(in, STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0) {
        const int error = errno;
        [[maybe_unused]] auto n = write(errorFd, &error, sizeof error);
        _exit(127);
    }
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &action, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execvp(argv[0], argv.data());
    const int error = errno;
    [[maybe_unused]] auto n = write(errorFd, &error, sizeof error);
    _exit(127);
}

// The engine runs as a grandchild in a session of its own: the intermediate child exits at once
// and is reaped here, so the engine belongs to init, outlives ZEB and never becomes our zombie.
// The spawn report is the error pipe: it closes empty once the engine program runs, or carries
// the system error of a failed start. Returns that error (0 when the program runs), or nothing
// when no report came within the bound (an exec that hangs, on a dead network file system say).
std::optional<int> spawnDetached(const QStringList& command, int stdinFd, int stdoutFd,
                                 Clock::time_point deadline) {
    std::vector<QByteArray> words;
    for (const QString& word : command) {
        words.push_back(word.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    Pipe errors = makePipe(); // close-on-exec: a successful exec closes it empty
    const pid_t intermediate = fork();
    if (intermediate == 0) {
        setsid();
        const pid_t engine = fork();
        if (engine == 0) {
            execEngine(argv, stdinFd, stdoutFd, errors.write.get());
        }
        if (engine < 0) {
            const int error = errno;
            [[maybe_unused]] auto n = write(errors.write.get(), &error, sizeof error);
        }
        _exit(0);
    }
    errors.write.reset();
    if (intermediate < 0) {
        return errno;
    }
    while (waitpid(intermediate, nullptr, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got = -1;
    while (got < 0 && waitFor(errors.read.get(), POLLIN, deadline)) {
        got = read(errors.read.get(), &error, sizeof error);
        if (got < 0 && errno != EINTR) {
            got = 0; // an unreadable report tells nothing: the replies will
        }
    }
    errors.read.reset();
    if (got < 0) {
        return std::nullopt;
    }
    return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

void ignoreBrokenPipes() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &action, nullptr);
}

} // namespace

TerminalEngine TerminalEngine::Create(std::chrono::milliseconds replyBound) {
    return Create(findEngineCommand(programDirectory()), replyBound);
}

TerminalEngine TerminalEngine::Create(const QStringList& command,
                                      std::chrono::milliseconds replyBound) {
    if (command.isEmpty()) {
        throw LaunchError{REGDB_E_CLASSNOTREG,
                          QStringLiteral("Class not registered: the terminal engine is neither "
                                         "registered nor installed beside ZEB (%1).")
                              .arg(QLatin1String(ENGINE_PROGRAM_NAME))};
    }
    ignoreBrokenPipes();
    Pipe toEngine = makePipe();
    Pipe fromEngine = makePipe();
    const std::optional<int> error =
        spawnDetached(command + QStringList{QLatin1String(protocol::EMBEDDING_SWITCH)},
                      toEngine.read.get(), fromEngine.write.get(), Clock::now() + replyBound);
    toEngine.read.reset();
    fromEngine.write.reset();
    auto channel = std::make_shared<EngineChannel>(std::move(toEngine.write),
                                                   std::move(fromEngine.read), replyBound);
    if (!error) {
        throw LaunchError{RPC_S_CALL_FAILED,
                          QStringLiteral("The remote procedure call failed: the terminal engine %1 "
                                         "did not report its start within %2 ms.")
                              .arg(command.first(), QString::number(replyBound.count()))};
    }
    if (*error != 0) {
        throw LaunchError{statusFromErrno(*error),
                          QStringLiteral("The terminal engine %1 could not be started: %2")
                              .arg(command.first(), QString::fromLocal8Bit(std::strerror(*error)))};
    }
    return TerminalEngine(std::move(channel));
}

TerminalEngine::TerminalEngine(std::shared_ptr<EngineChannel> channel)
    : channel_(std::move(channel)) {}

EngineControl TerminalEngine::QueryControl() {
    channel_->call(protocol::call::QUERY_INTERFACE, {QLatin1String(protocol::CONTROL_INTERFACE)});
    return EngineControl(channel_);
}

void TerminalEngine::RunScript(const QString& sScript) {
    channel_->call(protocol::call::RUN_SCRIPT, {sScript});
}

void TerminalEngine::Start(const QString& sCommandLine) {
    channel_->call(protocol::call::START, {sCommandLine});
}

bool TerminalEngine::IsReady() {
    return channel_->callYesNo(protocol::call::IS_READY, {});
}

bool TerminalEngine::NeedsRunStep() {
    return channel_->callYesNo(protocol::call::NEEDS_RUN_STEP, {});
}

void TerminalEngine::Release() {
    channel_->call(protocol::call::RELEASE, {QLatin1String(protocol::MAIN_REFERENCE)});
    channel_.reset();
}

EngineControl::EngineControl(std::shared_ptr<EngineChannel> channel)
    : channel_(std::move(channel)) {}

void EngineControl::SendCode(std::int32_t nCode, std::int32_t nSelector) {
    channel_->call(protocol::call::SEND_CODE, {nCode, nSelector});
}

void EngineControl::SendText(const QString& sText) {
    channel_->call(protocol::call::SEND_TEXT, {sText});
}

void EngineControl::Release() {
    channel_->call(protocol::call::RELEASE, {QLatin1String(protocol::CONTROL_INTERFACE)});
    channel_.reset();
}

EngineChannel::EngineChannel(UniqueFd toEngine, UniqueFd fromEngine,
                             std::chrono::milliseconds replyBound)
    : toEngine_(std::move(toEngine)), fromEngine_(std::move(fromEngine)), replyBound_(replyBound) {
    // Writes must never block past the bound, even on an engine that stops reading.
    fcntl(toEngine_.get(), F_SETFL, fcntl(toEngine_.get(), F_GETFL) | O_NONBLOCK);
}

EngineChannel::~EngineChannel() {
    toEngine_.reset();
    fromEngine_.reset();
}

void EngineChannel::fail(const char* callName, const QString& what) const {
    throw LaunchError{RPC_S_CALL_FAILED,
                      QStringLiteral("The remote procedure call failed: the terminal engine %1 "
                                     "(call %2).")
                          .arg(what, QLatin1String(callName))};
}

protocol::Reply EngineChannel::call(const char* callName, const QJsonArray& args, bool yesNo) {
    const qint64 id = nextId_++;
    sendLine(protocol::formatRequest(id, callName, args), callName);

    const QByteArray line = receiveLine(callName);
    const auto reply =
        protocol::parseReply(std::string_view(line.constData(), size_t(line.size())));
    if (!reply || reply->id != id) {
        fail(callName, QStringLiteral("sent a line that is not a valid reply"));
    }
    if (reply->status < 0) {
        throw LaunchError{reply->status,
                          reply->error.empty()
                              ? QStringLiteral("The terminal engine reported a failure of %1.")
                                    .arg(QLatin1String(callName))
                              : QString::fromStdString(reply->error)};
    }
    if (yesNo && !reply->result) {
        fail(callName, QStringLiteral("sent a reply without a yes/no result"));
    }
    return *reply;
}

bool EngineChannel::callYesNo(const char* callName, const QJsonArray& args) {
    return call(callName, args, true).result.value_or(protocol::NO) != protocol::NO;
}

void EngineChannel::sendLine(const std::string& line, const char* callName) {
    if (writeAll(toEngine_.get(), line, Clock::now() + replyBound_)) {
        return;
    }
    if (errno == ETIMEDOUT) {
        fail(callName, QStringLiteral("took no request within %1 ms").arg(replyBound_.count()));
    }
    fail(callName, QStringLiteral("has closed its input"));
}

QByteArray EngineChannel::receiveLine(const char* callName) {
    const auto deadline = Clock::now() + replyBound_;
    for (;;) {
        const qsizetype end = pending_.indexOf('\n');
        constexpr auto LINE_LIMIT = qsizetype(protocol::MAX_LINE_LENGTH);
        if (end > LINE_LIMIT || (end < 0 && pending_.size() > LINE_LIMIT)) {
            fail(callName, QStringLiteral("sent a reply line longer than 1 MiB"));
        }
        if (end >= 0) {
            const QByteArray line = pending_.left(end);
            pending_.remove(0, end + 1);
            return line;
        }
        if (!waitFor(fromEngine_.get(), POLLIN, deadline)) {
            fail(callName, QStringLiteral("did not answer within %1 ms").arg(replyBound_.count()));
        }
        char buffer[65536];
        const ssize_t n = read(fromEngine_.get(), buffer, sizeof buffer);
        if (n == 0) {
            fail(callName, QStringLiteral("ended or closed its output without answering"));
        }
        if (n < 0 && errno != EINTR) {
            fail(callName, QStringLiteral("could not be read from: %1")
                               .arg(QString::fromLocal8Bit(std::strerror(errno))));
        }
        pending_.append(buffer, std::max<ssize_t>(n, 0));
    }
}

} // namespace zeb
