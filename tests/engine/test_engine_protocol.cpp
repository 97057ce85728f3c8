// The protocol side through real pipes, as ZEB drives it: every line answered in order with its
// id, failures as negative statuses with a text. Nothing here needs a display: the calls that
// bring up a window are tested under Xvfb in test_engine_window.
#include "EngineTestSupport.h"

#include <QtTest>

#include <fstream>

using namespace zeb::engine;
using namespace zeb::engine::test;

namespace {

void verifyFailure(const QJsonObject& reply, std::int32_t status, const QString& textPart) {
    QCOMPARE(statusOf(reply), status);
    const QString error = reply.value("error").toString();
    QVERIFY2(error.contains(textPart), qPrintable(error));
    QVERIFY(!reply.contains("result"));
}

} // namespace

class TestEngineProtocol : public QObject {
    Q_OBJECT

private slots:
    void interfacesTextsAndReleases() {
        EngineClient engine(QProcessEnvironment::systemEnvironment());
        const auto offered = engine.call("QueryInterface", {"EngineControl"});
        QCOMPARE(idOf(offered), 1);
        QCOMPARE(statusOf(offered), 0);
        QVERIFY(!offered.contains("result") && !offered.contains("error"));
        // Texts are taken before Start, of every code; those the engine does not show are ignored.
        for (const auto& [code, selector] :
             {std::pair{-10, 2}, {-10, 1}, {-10, 6}, {-10, 9}, {3, 2}}) {
            QCOMPARE(statusOf(engine.call("SendCode", {code, selector})), 0);
            QCOMPARE(statusOf(engine.call("SendText", {QString("text\x7f")})), 0);
        }
        QCOMPARE(statusOf(engine.call("SendText", {"without a code"})), 0);
        verifyFailure(engine.call("QueryInterface", {"IOther"}), status::NO_INTERFACE, "IOther");
        QCOMPARE(statusOf(engine.call("Release", {"main"})), 0);
        QCOMPARE(statusOf(engine.call("Release", {"EngineControl"})), 0);
        verifyFailure(engine.call("Release", {"everything"}), status::INVALID_ARGUMENT, "Release");
        // Released, EngineControl takes no more texts.
        verifyFailure(engine.call("SendCode", {-10, 2}), status::UNEXPECTED, "EngineControl");
        QCOMPARE(engine.closeAndWait(), std::optional<int>(0));
    }

    void malformedCallsAreRefusedAndTheEngineGoesOn() {
        EngineClient engine(QProcessEnvironment::systemEnvironment());
        for (const auto& [line, why] :
             {std::pair<QByteArray, QString>{"this is not JSON", "not a JSON object"},
              {"[1,2]", "not a JSON object"},
              {R"({"call":"IsReady","args":[]})", "\"id\""},
              {R"({"id":1.5,"call":"X"})", "\"id\""},
              {R"({"id":0,"call":"X"})", "\"id\""},
              {R"({"id":5,"args":[]})", "\"call\""},
              {R"({"id":3,"call":"X","args":7})", "\"args\""},
              {QByteArray(MAX_LINE_LENGTH + 10, 'x'), "longer"}}) {
            verifyFailure(engine.sendLine(line), status::INVALID_ARGUMENT, why);
        }
        QCOMPARE(idOf(engine.sendLine(R"({"id":3,"call":"X","args":7})")), 3);

        const auto unknown = engine.call("Launch\u00e9", {});
        QCOMPARE(idOf(unknown), 1);
        verifyFailure(unknown, status::NOT_IMPLEMENTED, "Launch\u00e9");
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

    // Each way Start can fail, in a fresh engine; afterwards nothing counts as started.
    void failedStartsAreExplained() {
        TempFolder folder;
        std::ofstream(folder.file("terminal.ini")) << "[Engine]\nTerminal=zeb-no-such-terminal\n";
        std::ofstream(folder.file("runstep.ini")) << "[Engine]\nRunStep=perhaps\n";
        const auto withFile = [&](const char* name) {
            return QString::fromStdString("-n -i \"" + folder.file(name) + "\"");
        };
        struct Case {
            QString display;  // empty: neither DISPLAY nor WAYLAND_DISPLAY
            QString terminal; // empty: no TERMINAL, and nothing to find on PATH
            QString commandLine;
            std::int32_t status;
            QString why;
        };
        const Case cases[] = {
            {"", "/bin/true", "-n", status::FAIL, "no display"},
            {":1999", "/bin/true", "-n", status::FAIL, "\":1999\" cannot be opened"},
            {":1999", "/nonexistent/zeb-terminal", "-n", status::FILE_NOT_FOUND,
             "/nonexistent/zeb-terminal"},
            {":1999", "/bin/true", withFile("terminal.ini"), status::FILE_NOT_FOUND,
             "zeb-no-such-terminal\" named by the initialization file"},
            {":1999", "", "-n", status::FILE_NOT_FOUND, "No terminal program"},
            {":1999", "/bin/true", "-n -q", status::INVALID_ARGUMENT, "-q"},
            {":1999", "/bin/true", withFile("missing.ini"), status::FAIL,
             QString::fromStdString(folder.file("missing.ini"))},
            {":1999", "/bin/true", withFile("runstep.ini"), status::FAIL, "RunStep"},
        };
        for (const auto& c : cases) {
            auto environment = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "TERMINAL"}) {
                environment.remove(name);
            }
            if (!c.display.isEmpty()) {
                environment.insert("DISPLAY", c.display);
            }
            if (!c.terminal.isEmpty()) {
                environment.insert("TERMINAL", c.terminal);
            } else {
                environment.insert("PATH", QString::fromStdString(folder.file("")));
            }
            EngineClient engine(environment);
            verifyFailure(engine.call("Start", {c.commandLine}), c.status, c.why);
            verifyFailure(engine.call("IsReady"), status::UNEXPECTED, "before Start");
        }
    }
};

QTEST_GUILESS_MAIN(TestEngineProtocol)
#include "test_engine_protocol.moc"
