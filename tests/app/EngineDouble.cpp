// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// A terminal engine double for ZEB's tests, speaking the protocol on stdin and stdout. Options:
// --log FILE (a start line "started|last argument|cwd|pipe copies|sid|any signal blocked", each
// request as Call[args], and an eof line), --not-ready N (-1: never ready), --run-step, and
// --misbehave CALL:KIND on the first CALL: status=<n> (status=0: no result), exit, no-status, huge,
// silent, deaf (a reply, then a second without reading, and exit).
#include "EngineProtocol.h"
#include "JsonLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

#include <csignal>
#include <fstream>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

using namespace zeb::protocol;

std::string ReplyLine(qint64 id, int status, std::optional<int> result = std::nullopt) {
    return formatReply({id, status, result, "the engine double refused the call"});
}

// Misbehaves as asked; false when the double must stop at once.
bool Misbehave(const QString& kind, qint64 id) {
    if (kind.startsWith(u"status=")) {
        std::cout << ReplyLine(id, kind.mid(7).toInt());
    } else if (kind == u"no-status") {
        std::cout << encodeJsonLine({{QStringLiteral("id"), id}});
    } else if (kind == u"deaf") {
        std::cout << ReplyLine(id, 0);
        sleep(1); // the caller's next request meets a pipe nobody reads
    } else if (kind == u"huge") {
        std::cout << std::string(1024 * 1024 + 1, 'x') << '\n';
    } // silent: no reply
    return kind != u"exit" && kind != u"deaf";
}

// How many descriptors above 2 are further copies of our stdin or stdout pipe: a launcher that
// leaks its own copies into us would keep the pipe open after we close ours.
int CountExtraPipeCopies() {
    struct stat in = {}, out = {};
    fstat(STDIN_FILENO, &in);
    fstat(STDOUT_FILENO, &out);
    int copies = 0;
    for (const QString& name : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files)) {
        struct stat st {};
        const int fd = name.toInt();
        copies += fd > 2 && fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode) &&
                  (st.st_ino == in.st_ino || st.st_ino == out.st_ino);
    }
    return copies;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::cout << std::unitbuf; // every reply goes out at once
    const QStringList arguments = app.arguments();
    const auto option = [&arguments](const char* name) {
        const qsizetype at = arguments.indexOf(QLatin1String(name));
        return at < 0 ? QString() : arguments.value(at + 1);
    };
    int notReady = option("--not-ready").toInt();
    QString misbehaviour = option("--misbehave"); // CALL:KIND, for the first CALL only
    std::ofstream log(option("--log").toStdString(), std::ios::app);
    sigset_t mask; // ZEB's own mask must not reach its engine
    sigprocmask(SIG_BLOCK, nullptr, &mask);
    const QStringList started{QStringLiteral("started"),  arguments.value(arguments.size() - 1),
                              QDir::currentPath(),        QString::number(CountExtraPipeCopies()),
                              QString::number(getsid(0)), QString::number(!sigisemptyset(&mask))};
    log << started.join(u'|').toStdString() << std::endl;

    std::string line;
    qint64 lastId = 0;
    while (std::getline(std::cin, line)) {
        const auto object = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        const QJsonDocument args(object.value("args").toArray());
        log << object.value("call").toString().toStdString()
            << args.toJson(QJsonDocument::Compact).toStdString() << std::endl;
        const Request request = parseRequest(line);
        if (request.id != ++lastId) { // ids count up from 1: another is refused
            std::cout << ReplyLine(request.id, status::FAIL);
            continue;
        }
        const bool yesNo = request.call == call::IS_READY || request.call == call::NEEDS_RUN_STEP ||
                           request.call == call::RUN_SCRIPT;
        if (misbehaviour.section(u':', 0, 0) == QString::fromStdString(request.call)) {
            if (!Misbehave(std::exchange(misbehaviour, QString()).section(u':', 1), request.id)) {
                return 0;
            }
            continue;
        }
        const bool waiting = request.call == call::IS_READY && notReady != 0;
        notReady -= waiting && notReady > 0 ? 1 : 0;
        const bool yes =
            !waiting && (request.call != call::NEEDS_RUN_STEP || arguments.contains("--run-step"));
        std::cout << ReplyLine(request.id, status::OK,
                               yesNo ? std::optional<int>(yes ? YES : NO) : std::nullopt);
    }
    log << "eof" << std::endl;
    return 0;
}
