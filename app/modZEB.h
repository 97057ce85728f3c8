// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The engine launch for one host, and the host-name list the selection dialog offers.
#pragma once

#include "EngineClient.h"
#include "LaunchError.h"

#include <QString>
#include <chrono>
#include <functional>
#include <initializer_list>

class QComboBox;

namespace zeb {

// The version and the copyright notice: the second and third fields of the about text (the third
// title, "ZEB~Version 1.0~" and the notice), and what "zeb --version" prints.
inline constexpr const char* VERSION_TEXT = "Version 1.0";
inline constexpr const char* COPYRIGHT_NOTICE = "Copyright (C) 2026 ZEB contributors";
inline constexpr const char* MISSING_INITIALIZATION_MESSAGE =
    "Please ensure the PELNA or PELNAFILE environment variables are set to point to your existing "
    "Orvane initialization file.";

struct LaunchSettings {
    // How long the engine may take to become ready, and to answer any one call. Past either bound
    // the launch fails as a call that failed; a wait without bound would hang ZEB on a dead engine.
    std::chrono::milliseconds readyBound{std::chrono::seconds(60)};
    std::chrono::milliseconds replyBound{std::chrono::seconds(30)};
    // The pause between two IsReady polls, spent processing the program's events so that open
    // windows stay responsive without a busy loop.
    std::chrono::milliseconds pollPause{50};
    // Asked after each pause: true when the user has given up the launch (the selection dialog
    // was closed during the wait). The engine is then released without a script.
    std::function<bool()> abandoned;
};

// Drives one engine from creation to release for `sHost`: finds the initialization file (or the
// PELNA / PELNAFILE variables), starts the engine, titles it, waits until it is ready, hands it
// the start-up script and releases it. Returns normally after the script, after the
// missing-initialization-file message, or after an abandoned wait.
//
// Throws LaunchError for every engine failure, and for a host name that holds a control
// character (code below 32, or 127): such a name would add lines to the engine's script or cut
// its titles short, so it is refused before any engine is created.
void LaunchEngine(const QString& sHost, const LaunchSettings& settings = {});

// The two title texts and the about text, each sent with code -10 and its selector (2, 1, 6) and
// ended by character 127.
void SetEngineTitles(EngineControl& control, const QString& sHost);

// The initialization file looked for: the current directory followed by "/ZEB.INI", nothing
// added or removed (so "//ZEB.INI" at the root). Empty when the current directory cannot be told
// (it was deleted): the file then counts as absent, and "/ZEB.INI" is never taken for it.
QString initializationFilePath();
// The file counts as present when its length can be read (a length of 0 included); an empty path
// names no file.
bool initializationFilePresent(const QString& sPath);
// The engine's command line: the new-session switch, followed by the initialization-file switch
// and the quoted path when the file is present (protocol/EngineProtocol.h names both switches).
QString engineCommandLine(bool bFilePresent, const QString& sPath);
// The start-up script: seven lines, or eight with the RUN step, joined by CR LF with no line end
// after the last; the Telnet line ends with the host name.
QString startupScript(bool bNeedsRunStep, const QString& sHost);

// Replaces each box's entries with the names of the stored host records, in the store's order,
// read once for all the boxes. Each name must fit 64 characters with its terminator and each
// value's data 64 bytes: the first value that does not fit, like any other failure, ends the list
// there. With bFirstOnly, the first of those names alone, read on its own: all that a box shows
// until its list is opened.
void FillHostNames(std::initializer_list<QComboBox*> boxes, bool bFirstOnly = false);

} // namespace zeb
