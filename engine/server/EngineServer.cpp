// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "EngineServer.h"

#include "CommandLine.h"
#include "FdIo.h"
#include "LineBuffer.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <map>
#include <poll.h>

namespace zeb::engine {

// This side speaks the protocol throughout: its names read as the engine's own here.
using namespace zeb::protocol;

namespace {

constexpr const char* WINDOW_CLOSED =
    "The terminal window was closed before the engine had handed it everything.";

Reply success(const Request& request, std::optional<int> result = std::nullopt) {
    return Reply{request.id, status::OK, result, {}};
}

Reply failure(const Request& request, std::int32_t code, std::string error) {
    return Reply{request.id, code, std::nullopt, std::move(error)};
}

const std::string* onlyTextArgument(const Request& request) {
    return request.args.size() == 1 ? std::get_if<std::string>(&request.args.front()) : nullptr;
}

std::optional<std::int32_t> int32Of(const Argument& argument) {
    const double* number = std::get_if<double>(&argument);
    if (number == nullptr || std::trunc(*number) != *number || *number < INT32_MIN ||
        *number > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*number);
}

std::optional<LinkKind> itemAnnounced(std::int32_t code, std::int32_t selector) {
    if (code != TEXT_CODE) {
        return std::nullopt;
    }
    switch (selector) {
    case WINDOW_TITLE_SELECTOR:
        return LinkKind::WindowTitle;
    case ICON_TITLE_SELECTOR:
        return LinkKind::IconTitle;
    case ABOUT_SELECTOR:
        return LinkKind::About;
    default:
        return std::nullopt;
    }
}

// The session side never writes to the socket, so a readable socket means it has closed its end
// (the window was closed); a write alone would not tell, as the first one after a close succeeds.
bool sessionHasGone(int session) {
    pollfd closed{session, POLLIN, 0};
    return ::poll(&closed, 1, 0) == 1;
}

std::string joinedWords(const std::vector<std::string>& words) {
    std::string joined;
    for (const auto& word : words) {
        joined += (joined.empty() ? "" : " ") + word;
    }
    return joined;
}

std::string textBeforeEnd(const std::string& text) {
    return text.substr(0, text.find(TEXT_END));
}

Reply notStarted(const Request& request) {
    return failure(request, status::UNEXPECTED, request.call + " was called before Start.");
}

Reply notControl(const Request& request) {
    return failure(request, status::UNEXPECTED,
                   request.call + " belongs to EngineControl, which was not asked for with "
                                  "QueryInterface (or was released).");
}

Reply wrongArguments(const Request& request, const char* expected) {
    return failure(request, status::INVALID_ARGUMENT, request.call + " takes " + expected + ".");
}

// Why a yes/no question about the started engine (no arguments) cannot be answered, if it cannot.
std::optional<Reply> refusedQuestion(const Request& request, bool started) {
    if (!request.args.empty()) {
        return wrongArguments(request, "no arguments");
    }
    if (!started) {
        return notStarted(request);
    }
    return std::nullopt;
}

} // namespace

Reply EngineServer::handle(const Request& request) {
    using Handler = Reply (EngineServer::*)(const Request&);
    static const std::map<std::string, Handler> HANDLERS{
        {call::QUERY_INTERFACE, &EngineServer::queryInterface},
        {call::START, &EngineServer::start},
        {call::IS_READY, &EngineServer::isReady},
        {call::NEEDS_RUN_STEP, &EngineServer::needsRunStep},
        {call::RUN_SCRIPT, &EngineServer::runScript},
        {call::SEND_CODE, &EngineServer::sendCode},
        {call::SEND_TEXT, &EngineServer::sendText},
        {call::RELEASE, &EngineServer::release},
    };
    if (!request.malformed.empty()) {
        return failure(request, status::INVALID_ARGUMENT, request.malformed);
    }
    const auto handler = HANDLERS.find(request.call);
    if (handler == HANDLERS.end()) {
        return failure(request, status::NOT_IMPLEMENTED,
                       "The engine has no call named \"" + request.call + "\".");
    }
    return (this->*handler->second)(request);
}

Reply EngineServer::queryInterface(const Request& request) {
    const auto* name = onlyTextArgument(request);
    if (name == nullptr) {
        return wrongArguments(request, "one argument, the interface's name");
    }
    if (*name != CONTROL_INTERFACE) {
        return failure(request, status::NO_INTERFACE,
                       "The engine offers no interface named \"" + *name + "\".");
    }
    controlOffered_ = true;
    return success(request);
}

Reply EngineServer::start(const Request& request) {
    const auto* commandLine = onlyTextArgument(request);
    if (commandLine == nullptr) {
        return wrongArguments(request, "one argument, the command line");
    }
    if (started_) {
        return failure(request, status::UNEXPECTED, "Start was called a second time.");
    }
    auto options = parseStartCommandLine(*commandLine);
    if (failed(options)) {
        return failure(request, status::INVALID_ARGUMENT, failureOf(options));
    }
    if (const auto& initFile = std::get<StartOptions>(options).initFile) {
        auto settings = readInitFile(*initFile);
        if (failed(settings)) {
            return failure(request, status::FAIL, failureOf(settings));
        }
        settings_ = std::get<EngineSettings>(settings);
    }
    auto terminal = chooseTerminalCommand(settings_, std::getenv("TERMINAL"));
    if (failed(terminal)) {
        return failure(request, status::FILE_NOT_FOUND, failureOf(terminal));
    }
    if (auto display = checkDisplay(); failed(display)) {
        return failure(request, status::FAIL, failureOf(display));
    }
    auto rendezvous = SessionRendezvous::create();
    if (failed(rendezvous)) {
        return failure(request, status::FAIL, failureOf(rendezvous));
    }
    auto& socket = std::get<SessionRendezvous>(rendezvous);
    auto process = TerminalProcess::spawn(sessionCommand(
        std::get<std::vector<std::string>>(terminal), ownProgramPath(), socket.socketPath()));
    if (failed(process)) {
        return failure(request, status::FAIL, failureOf(process));
    }
    rendezvous_.emplace(std::move(socket));
    terminal_ = std::move(std::get<TerminalProcess>(process));
    readyDeadline_ = Clock::now() + READY_LIMIT;
    started_ = true;
    if (!settings_.terminalTypes.empty()) {
        (void)forward({LinkKind::TerminalTypes, joinedWords(settings_.terminalTypes)});
    }
    return success(request);
}

Reply EngineServer::isReady(const Request& request) {
    if (auto refused = refusedQuestion(request, started_)) {
        return *refused;
    }
    acceptSession();
    if (const auto why = sessionWillNotCome()) {
        return failure(request, status::FAIL, *why);
    }
    return success(request, session_.valid() ? YES : NO);
}

Reply EngineServer::needsRunStep(const Request& request) {
    if (auto refused = refusedQuestion(request, started_)) {
        return *refused;
    }
    return success(request, settings_.needsRunStep ? YES : NO);
}

Reply EngineServer::runScript(const Request& request) {
    const auto* script = onlyTextArgument(request);
    if (script == nullptr) {
        return wrongArguments(request, "one argument, the script");
    }
    if (!started_) {
        return notStarted(request);
    }
    if (auto forwarded = forward({LinkKind::Script, *script}); failed(forwarded)) {
        return failure(request, status::FAIL, failureOf(forwarded));
    }
    return success(request, YES);
}

Reply EngineServer::sendCode(const Request& request) {
    if (!controlOffered_) {
        return notControl(request);
    }
    const auto code = request.args.size() == 2 ? int32Of(request.args[0]) : std::nullopt;
    const auto selector = request.args.size() == 2 ? int32Of(request.args[1]) : std::nullopt;
    if (!code || !selector) {
        return wrongArguments(request, "two arguments, a code and a selector (32-bit integers)");
    }
    announced_ = itemAnnounced(*code, *selector);
    return success(request);
}

Reply EngineServer::sendText(const Request& request) {
    if (!controlOffered_) {
        return notControl(request);
    }
    const auto* text = onlyTextArgument(request);
    if (text == nullptr) {
        return wrongArguments(request, "one argument, the text");
    }
    const auto item = std::exchange(announced_, std::nullopt);
    if (!item) {
        return success(request); // an item this engine does not show
    }
    if (auto forwarded = forward({*item, textBeforeEnd(*text)}); failed(forwarded)) {
        return failure(request, status::FAIL, failureOf(forwarded));
    }
    return success(request);
}

Reply EngineServer::release(const Request& request) {
    const auto* which = onlyTextArgument(request);
    if (which == nullptr || (*which != MAIN_REFERENCE && *which != CONTROL_INTERFACE)) {
        return wrongArguments(request, "one argument, \"main\" or \"EngineControl\"");
    }
    if (*which == CONTROL_INTERFACE) {
        controlOffered_ = false;
    }
    return success(request);
}

int EngineServer::listenFd() const {
    return rendezvous_ ? rendezvous_->listenFd() : -1;
}

void EngineServer::acceptSession() {
    if (!rendezvous_) {
        return;
    }
    session_ = rendezvous_->acceptSession();
    if (session_.valid()) {
        rendezvous_.reset();  // one session per engine: the socket and its folder go at once
        (void)flushPending(); // a failure marks the session lost; the next call reports it
    }
}

bool EngineServer::awaitingSession() {
    return started_ && !session_.valid() && !sessionWillNotCome();
}

std::optional<std::string> EngineServer::sessionWillNotCome() {
    if (session_.valid() && sessionHasGone(session_.get())) {
        sessionLost_ = true;
        session_.reset();
    }
    if (sessionLost_) {
        return WINDOW_CLOSED;
    }
    if (session_.valid()) {
        return std::nullopt;
    }
    if (auto ended = terminal_->failedHow(); !ended.empty()) {
        return ended;
    }
    if (Clock::now() > readyDeadline_) {
        return "The terminal window did not come up within " + std::to_string(READY_LIMIT.count()) +
               " seconds.";
    }
    return std::nullopt;
}

Outcome<Done> EngineServer::forward(LinkMessage message) {
    pending_.push_back(std::move(message));
    if (!session_.valid() && !sessionLost_) {
        return Done{}; // held until the session reports in
    }
    return flushPending();
}

Outcome<Done> EngineServer::flushPending() {
    bool delivered = !sessionLost_ && !sessionHasGone(session_.get());
    for (size_t i = 0; delivered && i < pending_.size(); ++i) {
        delivered = writeAll(session_.get(), encodeLinkMessage(pending_[i]));
    }
    pending_.clear();
    if (!delivered) {
        sessionLost_ = true;
        session_.reset();
        return Failure{WINDOW_CLOSED};
    }
    return Done{};
}

namespace {

// How often a protocol side whose ZEB has gone looks again at a terminal that has not reported in.
constexpr int AWAIT_POLL_MS = 200;

void answerLines(EngineServer& server, LineBuffer& lines, int output) {
    while (lines.hasLine()) {
        const auto line = lines.takeLine();
        Request request;
        if (line.overlong) {
            request.malformed = "The request is longer than the protocol allows.";
        } else {
            request = parseRequest(line.text);
        }
        // A ZEB that has gone cannot read the reply; the engine goes on regardless.
        (void)writeAll(output, formatReply(server.handle(request)));
    }
}

} // namespace

int runProtocolSide(int input, int output) {
    std::signal(SIGPIPE, SIG_IGN);
    EngineServer server;
    LineBuffer lines(MAX_LINE_LENGTH);
    bool inputOpen = true;
    while (inputOpen || server.awaitingSession()) {
        std::vector<pollfd> fds;
        if (inputOpen) {
            fds.push_back({input, POLLIN, 0});
        }
        if (server.listenFd() >= 0) {
            fds.push_back({server.listenFd(), POLLIN, 0});
        }
        const int timeout = inputOpen ? -1 : AWAIT_POLL_MS;
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
            return 1;
        }
        for (const auto& fd : fds) {
            if (fd.revents == 0) {
                continue;
            }
            if (fd.fd == input) {
                const std::string bytes = readSome(input);
                inputOpen = !bytes.empty() || errno == EAGAIN;
                lines.append(bytes);
                answerLines(server, lines, output);
            } else {
                server.acceptSession();
            }
        }
    }
    return 0;
}

} // namespace zeb::engine
