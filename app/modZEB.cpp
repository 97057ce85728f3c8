// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "modZEB.h"

#include "DottedAddress.h"
#include "EngineProtocol.h"
#include "MessageBox.h"
#include "StoredSettings.h"

#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QStringList>
#include <QStringListModel>
#include <QTimer>
#include <algorithm>

#include <sys/stat.h>

namespace zeb {

namespace {

// A script line that runs `sProgram`: every program of the script is on the system disk, in the
// library account.
QString scriptLine(const char* sProgram) {
    return QStringLiteral("DSK0:%1[1,4]").arg(QLatin1String(sProgram));
}

void refuseControlCharacters(const QString& sHost) {
    if (const std::optional<QChar> control = ui::lineControlIn(sHost)) {
        throw LaunchError{E_INVALIDARG,
                          QStringLiteral("The host name holds a control character (code %1), which "
                                         "would corrupt the commands sent to the terminal engine. "
                                         "No connection was started.")
                              .arg(control->unicode())};
    }
}

bool environmentNamesInitialization() {
    return !qEnvironmentVariable("PELNA").isEmpty() || !qEnvironmentVariable("PELNAFILE").isEmpty();
}

void sendTitle(EngineControl& control, std::int32_t nSelector, const QString& sText) {
    control.SendCode(protocol::TEXT_CODE, nSelector);
    control.SendText(sText + QLatin1Char(protocol::TEXT_END));
}

void processEventsFor(std::chrono::milliseconds pause) {
    QEventLoop loop;
    QTimer::singleShot(pause, &loop, &QEventLoop::quit);
    loop.exec();
}

// Polls IsReady until yes; false when the user gave up during the wait.
bool waitUntilReady(TerminalEngine& engine, const LaunchSettings& settings) {
    const auto deadline = std::chrono::steady_clock::now() + settings.readyBound;
    while (!engine.IsReady()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            throw LaunchError{RPC_S_CALL_FAILED,
                              QStringLiteral("The remote procedure call failed: the terminal "
                                             "engine did not become ready within %1 seconds.")
                                  .arg(double(settings.readyBound.count()) / 1000.0)};
        }
        processEventsFor(settings.pollPause);
        if (settings.abandoned && settings.abandoned()) {
            return false;
        }
    }
    return true;
}

} // namespace

QString initializationFilePath() {
    const QString sCurrent = QDir::currentPath();
    return sCurrent.isEmpty() ? QString() : sCurrent + QStringLiteral("/ZEB.INI");
}

bool initializationFilePresent(const QString& sPath) {
    struct stat status {};
    return ::stat(QFile::encodeName(sPath).constData(), &status) == 0 && !S_ISDIR(status.st_mode);
}

QString engineCommandLine(bool bFilePresent, const QString& sPath) {
    const QLatin1String sNewSession(protocol::NEW_SESSION_SWITCH);
    return bFilePresent ? QStringLiteral("%1 %2 \"%3\"")
                              .arg(sNewSession, QLatin1String(protocol::INIT_FILE_SWITCH), sPath)
                        : QString(sNewSession);
}

QString startupScript(bool bNeedsRunStep, const QString& sHost) {
    QStringList lines{QStringLiteral(":S"),
                      scriptLine(protocol::LOG_PROGRAM) + " SYS:", QStringLiteral(":R")};
    if (bNeedsRunStep) {
        lines.append(scriptLine(protocol::RUN_PROGRAM) + " DUMMY.RUN");
    }
    lines.append({scriptLine(protocol::XY_PROGRAM) + " = 0",
                  scriptLine(protocol::CONNECT_PROGRAM) + ' ' + sHost, QStringLiteral(":S"),
                  scriptLine(protocol::HOST_PROGRAM)});
    return lines.join(QStringLiteral("\r\n"));
}

void SetEngineTitles(EngineControl& control, const QString& sHost) {
    sendTitle(control, protocol::WINDOW_TITLE_SELECTOR,
              QStringLiteral("ZEB Connection to ") + sHost);
    sendTitle(control, protocol::ICON_TITLE_SELECTOR, sHost + QStringLiteral(" (ZEB)"));
    sendTitle(control, protocol::ABOUT_SELECTOR,
              QStringList{QStringLiteral("ZEB"), QLatin1String(VERSION_TEXT),
                          QLatin1String(COPYRIGHT_NOTICE)}
                  .join(QLatin1Char(protocol::ABOUT_FIELD_SEPARATOR)));
}

void LaunchEngine(const QString& sHost, const LaunchSettings& settings) {
    refuseControlCharacters(sHost);
    const QString sPath = initializationFilePath();
    const bool bFilePresent = initializationFilePresent(sPath);
    if (!bFilePresent && !environmentNamesInitialization()) {
        ui::showMessage(QLatin1String(MISSING_INITIALIZATION_MESSAGE), ui::MsgIcon::Exclamation,
                        ui::MsgButtons::OkCancel);
        return;
    }

    TerminalEngine engine = TerminalEngine::Create(settings.replyBound);
    EngineControl control = engine.QueryControl();
    engine.Start(engineCommandLine(bFilePresent, sPath));
    SetEngineTitles(control, sHost);
    if (waitUntilReady(engine, settings)) {
        SetEngineTitles(control, sHost);
        engine.RunScript(startupScript(engine.NeedsRunStep(), sHost));
    }
    engine.Release();
    control.Release();
}

void FillHostNames(std::initializer_list<QComboBox*> boxes, bool bFirstOnly) {
    // A string list model holds a hundred thousand names without an item object for each, and
    // the boxes share the one list read: both would otherwise cost the dialog's start-up.
    QStringList names;
    if (!bFirstOnly) {
        names = ui::storedHostNames();
    } else if (const std::optional<QString> sFirst = ui::storedHostNameAt(0)) {
        names.append(*sFirst);
    }
    for (QComboBox* box : boxes) {
        box->setModel(new QStringListModel(names, box)); // the box deletes the model it owned
    }
}

} // namespace zeb
