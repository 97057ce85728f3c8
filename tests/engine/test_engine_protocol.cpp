// The protocol side through real pipes, as ZEB drives it: every call answered in order with its
// id, failures as negative statuses with a text. Nothing here needs a display: the calls that
// bring up a window are tested under Xvfb in test_engine_window.
#include "EngineTestSupport.h"

#include <QtTest>

#include <fstream>

using namespace zeb::engine;
using namespace zeb::engine::test;

namespace {

QProcessEnvironment environmentWithout(const QStringList& names) {
    auto environment = QProcessEnvironment::systemEnvironment();
    for (const auto& name : names) {
        environment.remove(name);
    }
    return environment;
}

void verifyFailure(const QJsonObject& reply, std::int32_t status, const char* textPart) {
    QCOMPARE(statusOf(reply), status);
    const QString error = reply.value("error").toString();
    QVERIFY2(error.contains(QString::fromUtf8(textPart)), qPrintable(error));
}

} // namespace

class TestEngineProtocol : public QObject {
    Q_OBJECT

private slots:
    void interfacesAndReleases() {
        EngineClient engine(ENGINE_PROGRAM, QProcessEnvironment::systemEnvironment());
        const auto offered = engine.call("QueryInterface", {"EngineControl"});
        QCOMPARE(idOf(offered), 1);
        QCOMPARE(statusOf(offered), 0);
        verifyFailure(engine.call("QueryInterface", {"IOther"}), status::NO_INTERFACE, "IOther");
        QCOMPARE(statusOf(engine.call("Release", {"main"})), 0);
        QCOMPARE(statusOf(engine.call("Release", {"EngineControl"})), 0);
        verifyFailure(engine.call("Release", {"everything"}), status::INVALID_ARGUMENT, "Release");
        // Released, EngineControl takes no more texts.
        verifyFailure(engine.call("SendCode", {-10, 2}), status::UNEXPECTED, "EngineControl");
        QCOMPARE(engine.closeAndWait(), std::optional<int>(0));
    }

    void malformedCallsAreRefusedAndTheEngineGoesOn() {
        EngineClient engine(ENGINE_PROGRAM, QProcessEnvironment::systemEnvironment());
        const auto notJson = engine.sendLine("this is not JSON");
        QVERIFY(statusOf(notJson) < 0);
        QVERIFY(!notJson.value("error").toString().isEmpty());
        verifyFailure(engine.sendLine(R"({"id":5,"args":[]})"), status::INVALID_ARGUMENT, "call");
        verifyFailure(engine.sendLine(QByteArray(MAX_LINE_LENGTH + 10, 'x')),
                      status::INVALID_ARGUMENT, "longer");

        const auto unknown = engine.call("Launch", {});
        QCOMPARE(idOf(unknown), 1);
        verifyFailure(unknown, status::NOT_IMPLEMENTED, "Launch");
        verifyFailure(engine.call("SendCode", {-10, 2}), status::UNEXPECTED, "QueryInterface");
        verifyFailure(engine.call("IsReady"), status::UNEXPECTED, "before Start");
        verifyFailure(engine.call("NeedsRunStep"), status::UNEXPECTED, "before Start");
        verifyFailure(engine.call("RunScript", {"x"}), status::UNEXPECTED, "before Start");
        verifyFailure(engine.call("Start", {42}), status::INVALID_ARGUMENT, "Start takes");
        verifyFailure(engine.call("Start", {"-n", "-n"}), status::INVALID_ARGUMENT, "Start takes");
        verifyFailure(engine.call("IsReady", {1}), status::INVALID_ARGUMENT, "no arguments");

        QCOMPARE(statusOf(engine.call("QueryInterface", {"EngineControl"})), 0);
        verifyFailure(engine.call("SendCode", {-10.5, 2}), status::INVALID_ARGUMENT, "32-bit");
        verifyFailure(engine.call("SendCode", {-10, 4294967296.0}), status::INVALID_ARGUMENT,
                      "32-bit");
        verifyFailure(engine.call("SendCode", {-10}), status::INVALID_ARGUMENT, "two arguments");
        verifyFailure(engine.call("SendText", {}), status::INVALID_ARGUMENT, "one argument");

        const auto last = engine.call("Release", {"main"});
        QCOMPARE(idOf(last), 14);
        QCOMPARE(statusOf(last), 0);
        QCOMPARE(engine.closeAndWait(), std::optional<int>(0));
    }

    void textsOfEveryCodeAreTakenBeforeStart() {
        EngineClient engine(ENGINE_PROGRAM, QProcessEnvironment::systemEnvironment());
        QCOMPARE(statusOf(engine.call("QueryInterface", {"EngineControl"})), 0);
        for (const auto& [code, selector] :
             {std::pair{-10, 2}, {-10, 1}, {-10, 6}, {-10, 9}, {3, 2}}) {
            QCOMPARE(statusOf(engine.call("SendCode", {code, selector})), 0);
            QCOMPARE(statusOf(engine.call("SendText", {QString("text\x7f")})), 0);
        }
        QCOMPARE(statusOf(engine.call("SendText", {"without a code"})), 0);
        QCOMPARE(engine.closeAndWait(), std::optional<int>(0));
    }

    void startFailsWithoutADisplay() {
        auto environment = environmentWithout({"DISPLAY", "WAYLAND_DISPLAY"});
        environment.insert("TERMINAL", "/bin/true");
        EngineClient engine(ENGINE_PROGRAM, environment);
        verifyFailure(engine.call("Start", {"-n"}), status::FAIL, "no display");
        // Nothing was started: the engine still refuses the calls that need Start.
        verifyFailure(engine.call("IsReady"), status::UNEXPECTED, "before Start");

        environment.insert("DISPLAY", ":1999");
        EngineClient unreachable(ENGINE_PROGRAM, environment);
        verifyFailure(unreachable.call("Start", {"-n"}), status::FAIL,
                      "\":1999\" cannot be opened");
    }

    void startFailsWithoutATerminalProgram() {
        TempFolder folder;
        auto environment = environmentWithout({"TERMINAL"});
        environment.insert("DISPLAY", ":1999");
        environment.insert("TERMINAL", "/nonexistent/zeb-terminal");
        EngineClient named(ENGINE_PROGRAM, environment);
        verifyFailure(named.call("Start", {"-n"}), status::FILE_NOT_FOUND,
                      "/nonexistent/zeb-terminal");

        std::ofstream(folder.file("ZEB.INI")) << "[Engine]\nTerminal=zeb-no-such-terminal -x\n";
        EngineClient byFile(ENGINE_PROGRAM, environment);
        verifyFailure(byFile.call("Start", {QString::fromStdString("-n -i \"" +
                                                                   folder.file("ZEB.INI") + "\"")}),
                      status::FILE_NOT_FOUND, "initialization file");

        environment.remove("TERMINAL");
        environment.insert("PATH", QString::fromStdString(folder.file("")));
        EngineClient none(ENGINE_PROGRAM, environment);
        verifyFailure(none.call("Start", {"-n"}), status::FILE_NOT_FOUND, "No terminal program");
    }

    void startRefusesABadCommandLineOrInitializationFile() {
        TempFolder folder;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TERMINAL", "/bin/true");
        EngineClient engine(ENGINE_PROGRAM, environment);
        verifyFailure(engine.call("Start", {"-n -q"}), status::INVALID_ARGUMENT, "-q");
        const std::string missing = folder.file("ZEB.INI");
        verifyFailure(engine.call("Start", {QString::fromStdString("-n -i \"" + missing + "\"")}),
                      status::FAIL, missing.c_str());
        std::ofstream(missing) << "[Engine]\nRunStep=perhaps\n";
        verifyFailure(engine.call("Start", {QString::fromStdString("-n -i \"" + missing + "\"")}),
                      status::FAIL, "RunStep");
    }
};

QTEST_GUILESS_MAIN(TestEngineProtocol)
#include "test_engine_protocol.moc"
