// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// How fast `zeb HOST` hands its start-up script to an engine that is ready at once, and what a
// slow engine's ready wait costs ZEB in processor time.
//
// The benchmark is its own engine: registered (in a scratch file store named by ZEB_REGISTRY) as
// "bench_app_launch --engine STAMPFILE NOTREADYMS", it answers the protocol, says "not ready" for
// NOTREADYMS after it started, and writes the monotonic clock to STAMPFILE when RunScript arrives.
// The launch time runs from just before zeb is spawned to that stamp; both clocks are the
// machine's one CLOCK_MONOTONIC.
#include "CRegKey.h"
#include "EngineClient.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"
#include "bench_app_support.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace {

std::int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

int ServeAsEngine(const QString& stampPath, std::int64_t notReadyMs) {
    const std::int64_t readyAt = NowNs() + notReadyMs * 1'000'000;
    std::string line;
    while (std::getline(std::cin, line)) {
        const QJsonObject request =
            QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        const QString call = request.value(QStringLiteral("call")).toString();
        QJsonObject reply{{QStringLiteral("id"), request.value(QStringLiteral("id"))},
                          {QStringLiteral("status"), 0}};
        if (call == u"IsReady") {
            reply.insert(QStringLiteral("result"), NowNs() >= readyAt ? -1 : 0);
        } else if (call == u"NeedsRunStep" || call == u"RunScript") {
            reply.insert(QStringLiteral("result"), 0);
        }
        if (call == u"RunScript") {
            QFile stamp(stampPath);
            if (stamp.open(QIODevice::WriteOnly)) {
                stamp.write(QByteArray::number(qint64(NowNs())));
            }
        }
        std::cout << QJsonDocument(reply).toJson(QJsonDocument::Compact).toStdString() << '\n'
                  << std::flush;
    }
    return 0;
}

void RegisterEngine(const std::string& storePath, const QString& command) {
    auto previous = zeb::reg::installBackend(std::make_unique<zeb::reg::SqliteRegistry>(storePath));
    zeb::reg::CRegKey key;
    key.Create(zeb::reg::HKEY_LOCAL_MACHINE, zeb::layout::ENGINE_SERVER_KEY);
    key.SetValue(command.toStdString(), "");
    key.CloseKey();
    zeb::reg::installBackend(std::move(previous));
}

struct Run {
    double toScriptMs;
    double cpuMs; // zeb's user and system time
};

Run RunZeb(const std::string& zeb, const QString& stampPath) {
    QFile::remove(stampPath);
    char* argv[] = {const_cast<char*>(zeb.c_str()), const_cast<char*>("benchhost"), nullptr};
    const std::int64_t start = NowNs();
    pid_t pid = 0;
    if (bench::SpawnQuietly(&pid, zeb, argv) != 0) {
        return {-1, -1};
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    QFile stamp(stampPath);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !stamp.open(QIODevice::ReadOnly)) {
        return {-1, -1};
    }
    const auto ms = [](const timeval& t) {
        return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
    };
    return {double(stamp.readAll().toLongLong() - start) / 1e6,
            ms(usage.ru_utime) + ms(usage.ru_stime)};
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() >= 4 && arguments.at(1) == u"--engine") {
        return ServeAsEngine(arguments.at(2), arguments.at(3).toLongLong());
    }
    const std::string zeb =
        (QCoreApplication::applicationDirPath() + QStringLiteral("/zeb")).toStdString();
    if (!QFileInfo(QString::fromStdString(zeb)).isExecutable()) {
        std::printf("bench_app_launch: %s not built\n", zeb.c_str());
        return 1;
    }
    QTemporaryDir dir;
    const std::string store = dir.filePath(QStringLiteral("registry.db")).toStdString();
    const QString stamp = dir.filePath(QStringLiteral("script.stamp"));
    const auto registerWait = [&](int notReadyMs) {
        RegisterEngine(store, QStringLiteral("\"%1\" --engine \"%2\" %3")
                                  .arg(QCoreApplication::applicationFilePath(), stamp)
                                  .arg(notReadyMs));
    };
    qputenv("ZEB_REGISTRY", QByteArray::fromStdString(store));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("PELNA", "1");

    registerWait(0);
    RunZeb(zeb, stamp); // warm the file caches
    std::vector<double> launches;
    std::vector<double> cpu;
    for (int i = 0; i < 30; ++i) {
        const Run run = RunZeb(zeb, stamp);
        if (run.toScriptMs < 0) {
            std::printf("bench_app_launch: zeb failed\n");
            return 1;
        }
        launches.push_back(run.toScriptMs);
        cpu.push_back(run.cpuMs);
    }
    std::printf("zeb HOST to script handed over (engine ready at once), 30 runs: median %.1f ms, "
                "min %.1f ms, max %.1f ms (target < 100 ms)\n",
                bench::Median(launches), *std::min_element(launches.begin(), launches.end()),
                *std::max_element(launches.begin(), launches.end()));

    constexpr int SLOW_MS = 3000;
    registerWait(SLOW_MS);
    const Run slow = RunZeb(zeb, stamp);
    const double waitCpuShare = (slow.cpuMs - bench::Median(cpu)) / SLOW_MS * 100.0;
    std::printf("ready wait of %d ms: zeb used %.1f ms of processor time beyond a quick launch, "
                "%.2f%% of one core (target < 2%%)\n",
                SLOW_MS, slow.cpuMs - bench::Median(cpu), waitCpuShare);
    return 0;
}
