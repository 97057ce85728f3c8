// A terminal engine double for ZEB's tests, speaking the protocol on stdin and stdout. Options:
// --log FILE (a start line with argv, sid, cwd and pipeCopies, each request line before its reply,
// and an eof line), --not-ready N (-1: never ready), --run-step, and --misbehave CALL:KIND on the
// first CALL: status=<n>, exit, garbage, wrong-id, no-status, no-result, huge (over 1 MiB), silent.
#include "EngineProtocol.h"
#include "JsonLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QMap>

#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace protocol = zeb::protocol;

struct Behaviour {
    QString logPath;
    int notReady = 0;
    bool runStep = false;
    QMap<QString, QString> misbehave; // call -> kind
};

Behaviour ParseArguments(const QStringList& arguments) {
    Behaviour behaviour;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& option = arguments.at(i);
        const QString value = arguments.value(i + 1);
        behaviour.runStep |= option == u"--run-step";
        if (option == u"--log") {
            behaviour.logPath = value;
        } else if (option == u"--not-ready") {
            behaviour.notReady = value.toInt();
        } else if (option == u"--misbehave") {
            behaviour.misbehave.insert(value.section(u':', 0, 0), value.section(u':', 1));
        }
    }
    return behaviour;
}

void Send(const std::string& line) {
    std::cout << line << std::flush;
}

std::string Reply(qint64 id, int status, std::optional<int> result = std::nullopt) {
    return protocol::formatReply({id, status, result, "the engine double refused the call"});
}

// Misbehaves as asked; false when the double must stop at once.
bool Misbehave(const QString& kind, qint64 id, bool yesNo) {
    if (kind.startsWith(u"status=")) {
        Send(Reply(id, kind.mid(7).toInt()));
    } else if (kind == u"garbage") {
        Send("this is not a reply\n");
    } else if (kind == u"wrong-id") {
        Send(Reply(id + 1, 0, yesNo ? std::optional<int>(protocol::YES) : std::nullopt));
    } else if (kind == u"no-status") {
        Send(protocol::encodeJsonLine({{QStringLiteral("id"), id}}));
    } else if (kind == u"no-result") {
        Send(Reply(id, 0));
    } else if (kind == u"huge") {
        Send(protocol::encodeJsonLine(
            {{QStringLiteral("id"), id},
             {QStringLiteral("status"), 0},
             {QStringLiteral("pad"), QString(qsizetype(protocol::MAX_LINE_LENGTH), u'x')}}));
    } // silent: no reply
    return kind != u"exit";
}

// How many descriptors above 2 are further copies of our stdin or stdout pipe: a launcher that
// leaks its own copies into us would keep the pipe open after we close ours.
int CountExtraPipeCopies() {
    struct stat in {
    }, out{};
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
    Behaviour behaviour = ParseArguments(app.arguments());
    std::ofstream log(behaviour.logPath.toStdString(), std::ios::app);
    log << protocol::encodeJsonLine(
               {{QStringLiteral("event"), QStringLiteral("start")},
                {QStringLiteral("argv"), QJsonArray::fromStringList(app.arguments())},
                {QStringLiteral("sid"), qint64(getsid(0))},
                {QStringLiteral("cwd"), QDir::currentPath()},
                {QStringLiteral("pipeCopies"), CountExtraPipeCopies()}})
        << std::flush;

    std::string line;
    while (std::getline(std::cin, line)) {
        log << line << '\n' << std::flush;
        const protocol::Request request = protocol::parseRequest(line);
        const QString call = QString::fromStdString(request.call);
        const bool yesNo = request.call == protocol::call::IS_READY ||
                           request.call == protocol::call::NEEDS_RUN_STEP ||
                           request.call == protocol::call::RUN_SCRIPT;
        if (behaviour.misbehave.contains(call)) {
            if (!Misbehave(behaviour.misbehave.take(call), request.id, yesNo)) {
                return 0;
            }
            continue;
        }
        bool yes = request.call == protocol::call::NEEDS_RUN_STEP ? behaviour.runStep : true;
        if (request.call == protocol::call::IS_READY && behaviour.notReady != 0) {
            yes = false;
            behaviour.notReady -= behaviour.notReady > 0 ? 1 : 0;
        }
        const int answer = yes ? protocol::YES : protocol::NO;
        Send(Reply(request.id, protocol::status::OK,
                   yesNo ? std::optional<int>(answer) : std::nullopt));
    }
    log << R"({"event":"eof"})" << '\n' << std::flush;
    return 0;
}
