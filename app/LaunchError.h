// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// What ends a launch with ZEB's error report: a status code in the component-object style (a
// negative 32-bit number, e.g. 0x80040154) and a description for the user.
//
// Everything that can go wrong between ZEB and the engine throws one LaunchError. Nothing in the
// launch catches it: it travels to the program's top (Main, or the selection dialog's Connect
// handler, which must not let it cross Qt's event loop), where reportLaunchFailure shows it and the
// program ends with exit status 1.
#pragma once

#include "EngineProtocol.h"

#include <QString>
#include <cstdint>

namespace zeb {

using EngineStatus = std::int32_t;

// The status codes ZEB itself gives; an engine's own failures carry whatever status it sent. The
// two that are also protocol status codes come from the protocol.
inline constexpr EngineStatus E_NOINTERFACE = protocol::status::NO_INTERFACE;
inline constexpr EngineStatus REGDB_E_CLASSNOTREG = static_cast<EngineStatus>(0x80040154u);
inline constexpr EngineStatus E_INVALIDARG = protocol::status::INVALID_ARGUMENT;
// The call failed: the engine ended, closed its output, sent no valid reply, or ran past a bound.
inline constexpr EngineStatus RPC_S_CALL_FAILED = static_cast<EngineStatus>(0x800706BEu);

// 0x8007xxxx: a system error number (errno) carried in a status code.
constexpr EngineStatus statusFromErrno(int error) {
    return static_cast<EngineStatus>(0x80070000u | (static_cast<std::uint32_t>(error) & 0xFFFFu));
}

struct LaunchError {
    EngineStatus status;
    QString description;
};

// The error report: a critical message box titled "ZEB" giving the status as a number (decimal
// and hexadecimal) and the description. Returns the exit status the program ends with (1).
int reportLaunchFailure(const LaunchError& error);

// The report's text, without the box.
QString launchFailureText(const LaunchError& error);

} // namespace zeb
