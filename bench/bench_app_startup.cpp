// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// How long zeb takes from process start to its selection dialog on the screen, with an empty
// store and with 10,000 and 100,000 stored host records; the goal is under 150 ms for each.
//
// Measured from outside, with nothing added to zeb: the benchmark starts a private X server
// (Xvfb), watches its root window for newly mapped windows, spawns zeb there and stops the clock
// when the X server maps the window titled "Orvane Terminal Emulator". zeb is then ended with
// SIGTERM. Without Xvfb the benchmark says so and measures nothing.
#include "CRegKey.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"
#include "bench_app_support.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* DIALOG_TITLE = "Orvane Terminal Emulator";
constexpr int TARGET_MS = 150;

// Settings and nHosts host records in one transaction; false when the store refused them.
bool FillStore(const std::string& path, int nHosts) {
    using namespace zeb::reg;
    auto previous = installBackend(std::make_unique<SqliteRegistry>(path));
    const Status status = backend().runAtomically([nHosts] {
        CRegKey settings;
        settings.Create(HKEY_LOCAL_MACHINE, zeb::layout::SETTINGS_KEY);
        settings.SetValue(std::string(zeb::layout::ENABLE_NR_YES), zeb::layout::ENABLE_NR);
        settings.CloseKey();
        CRegKey hosts;
        hosts.Create(HKEY_LOCAL_MACHINE, zeb::layout::HOSTLIST_KEY);
        for (int i = 0; i < nHosts; ++i) {
            const Status written = hosts.SetValue(std::string(zeb::layout::HOSTLIST_MARK),
                                                  "host-" + std::to_string(i));
            if (written != ERROR_SUCCESS) {
                return written;
            }
        }
        hosts.CloseKey();
        return ERROR_SUCCESS;
    });
    installBackend(std::move(previous));
    return status == ERROR_SUCCESS;
}

bool IsDialog(Display* display, Window window) {
    char* name = nullptr;
    const bool bDialog = XFetchName(display, window, &name) != 0 && name != nullptr &&
                         std::strcmp(name, DIALOG_TITLE) == 0;
    XFree(name);
    return bDialog;
}

// Milliseconds from spawning zeb to the dialog's window being mapped; negative on failure.
double TimeToDialog(Display* display, const std::string& zeb) {
    char* argv[] = {const_cast<char*>(zeb.c_str()), nullptr};
    const auto start = Clock::now();
    pid_t pid = 0;
    if (bench::SpawnQuietly(&pid, zeb, argv) != 0) {
        return -1;
    }
    double elapsed = -1;
    const auto deadline = start + std::chrono::seconds(30);
    while (elapsed < 0 && Clock::now() < deadline) {
        while (elapsed < 0 && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && IsDialog(display, event.xmap.window)) {
                elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            }
        }
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, 100);
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return elapsed;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const std::string zeb =
        (QCoreApplication::applicationDirPath() + QStringLiteral("/zeb")).toStdString();
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
        std::printf(
            "bench_app_startup: Xvfb is not installed (make deps-test); nothing measured\n");
        return 0;
    }
    QProcess server;
    server.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                  QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1024x768x24")});
    if (!server.waitForReadyRead(30000)) {
        std::printf("bench_app_startup: Xvfb did not start\n");
        return 1;
    }
    const QByteArray displayName = ":" + server.readLine().trimmed();
    Display* display = XOpenDisplay(displayName.constData());
    if (display == nullptr) {
        std::printf("bench_app_startup: cannot open %s\n", displayName.constData());
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    qputenv("DISPLAY", displayName);
    qputenv("QT_QPA_PLATFORM", "xcb");

    QTemporaryDir dir;
    int status = 0;
    for (const int nHosts : {0, 10000, 100000}) {
        const std::string store =
            dir.filePath(QStringLiteral("registry-%1.db").arg(nHosts)).toStdString();
        if (nHosts > 0 && !FillStore(store, nHosts)) {
            std::printf("bench_app_startup: the store refused the host records\n");
            return 1;
        }
        qputenv("ZEB_REGISTRY", QByteArray::fromStdString(store));
        TimeToDialog(display, zeb); // warm the file caches
        std::vector<double> times;
        for (int i = 0; i < 15; ++i) {
            times.push_back(TimeToDialog(display, zeb));
        }
        if (*std::min_element(times.begin(), times.end()) < 0) {
            std::printf("bench_app_startup: the dialog did not appear\n");
            status = 1;
            continue;
        }
        std::printf("process start to selection dialog shown, %d host records, 15 runs: median "
                    "%.1f ms, min %.1f ms, max %.1f ms (target < %d ms)\n",
                    nHosts, bench::Median(times), *std::min_element(times.begin(), times.end()),
                    *std::max_element(times.begin(), times.end()), TARGET_MS);
    }
    XCloseDisplay(display);
    server.terminate();
    server.waitForFinished(30000);
    return status;
}
