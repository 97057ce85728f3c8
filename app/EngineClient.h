// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The client side of the terminal engine: ZEB drives the engine program the way an automation
// client drives a local server. TerminalEngine::Create finds and starts the program, and the two
// reference objects (TerminalEngine for the main interface, EngineControl for the control
// interface) each send one request line per call and wait for its reply line (one JSON object per
// line, ids counting up from 1). Both references share the pipes; once both are released (or
// dropped, as when a failure unwinds a launch) ZEB closes its ends and never waits for the engine.
//
// Every failure throws LaunchError:
//   - no registered command and no orvane-engine beside zeb: REGDB_E_CLASSNOTREG;
//   - a registered command line with an unterminated double quote: E_INVALIDARG (the engine
//     refuses such a Start command line with the same status);
//   - the program cannot be started: 0x8007xxxx carrying the system error;
//   - a reply with a negative status: that status and the engine's description;
//   - an engine that ends, closes its output, sends a line that is not a valid reply (not JSON, a
//     wrong id, no status, no yes/no result where one is read, a line over 1 MiB) or says nothing
//     within the reply bound (its start report included): RPC_S_CALL_FAILED with ZEB's own
//     description.
//
// Writing to an engine that has gone must fail with an error, not kill ZEB: creation therefore
// sets SIGPIPE to be ignored for the whole process (and back to the default in the engine).
#pragma once

#include "LaunchError.h"

#include <QJsonArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <memory>

namespace zeb {

// The program found beside zeb when no command is registered.
inline constexpr const char* ENGINE_PROGRAM_NAME = "orvane-engine";

// The engine's command: the registered command line when its default value holds any word, else
// programDir/orvane-engine when that file exists; an empty list when neither. The registered line
// is split as the protocol splits command lines (blanks separate, double quotes group, no shell);
// one with an unterminated double quote throws LaunchError E_INVALIDARG rather than start a guess.
QStringList findEngineCommand(const QString& programDir);

// One engine process's two pipes and the request counter, shared by the two references below.
class EngineChannel;

class EngineControl {
public:
    // Announces the item that the next SendText sets.
    void SendCode(std::int32_t nCode, std::int32_t nSelector);
    void SendText(const QString& sText);
    // Releases this reference; the object is unusable afterwards.
    void Release();

private:
    friend class TerminalEngine;
    explicit EngineControl(std::shared_ptr<EngineChannel> channel);
    std::shared_ptr<EngineChannel> channel_;
};

class TerminalEngine {
public:
    // Finds the engine (findEngineCommand with zeb's own folder), starts it with
    // protocol::EMBEDDING_SWITCH appended, and holds the main reference. replyBound limits every
    // reply wait.
    static TerminalEngine Create(std::chrono::milliseconds replyBound);
    // The same with an explicit command (program and its arguments, before the switch).
    static TerminalEngine Create(const QStringList& command, std::chrono::milliseconds replyBound);

    // QueryInterface for EngineControl; the engine may refuse with E_NOINTERFACE.
    EngineControl QueryControl();
    // Hands over the start-up script. Its yes/no answer is not read: a success status is success
    // whatever "result" holds or lacks, since the script has been handed over by then.
    void RunScript(const QString& sScript);
    void Start(const QString& sCommandLine);
    bool IsReady();
    bool NeedsRunStep();
    // Releases the main reference; the object is unusable afterwards.
    void Release();

private:
    explicit TerminalEngine(std::shared_ptr<EngineChannel> channel);
    std::shared_ptr<EngineChannel> channel_;
};

} // namespace zeb
