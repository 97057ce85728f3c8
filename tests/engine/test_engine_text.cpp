// The engine's texts: command lines, the initialization file, the protocol's lines, the script
// and what is written to the terminal.
#include "CommandLine.h"
#include "EngineTestSupport.h"
#include "InitFile.h"
#include "LineBuffer.h"
#include "Protocol.h"
#include "Script.h"
#include "TerminalText.h"

#include <QtTest>

#include <fstream>
#include <sys/stat.h>

using namespace zeb::engine;

namespace {

template <class T> const T& valueOf(const Outcome<T>& outcome) {
    if (failed(outcome)) {
        qFatal("unexpected failure: %s", failureOf(outcome).c_str());
    }
    return std::get<T>(outcome);
}

std::vector<std::string> words(std::initializer_list<const char*> list) {
    return {list.begin(), list.end()};
}

} // namespace

class TestEngineText : public QObject {
    Q_OBJECT

private slots:
    void commandWordsGroupByQuotesAndKeepBackslashes() {
        QCOMPARE(valueOf(splitCommandWords("  -n   -i \"C:\\my dir\\ZEB.INI\" ")),
                 words({"-n", "-i", "C:\\my dir\\ZEB.INI"}));
        QCOMPARE(valueOf(splitCommandWords("xterm -fa \"Mono\"space")),
                 words({"xterm", "-fa", "Monospace"}));
        QCOMPARE(valueOf(splitCommandWords("a \"\" b")), words({"a", "", "b"}));
        QVERIFY(valueOf(splitCommandWords("   ")).empty());
        QVERIFY(failed(splitCommandWords("-i \"unterminated")));
    }

    void startCommandLineTakesExactlyZebsForms() {
        const auto plain = valueOf(parseStartCommandLine("-n"));
        QVERIFY(plain.newSession);
        QVERIFY(!plain.initFile);

        const auto withFile = valueOf(parseStartCommandLine("-n -i \"/home/u/my files/ZEB.INI\""));
        QVERIFY(withFile.newSession);
        QCOMPARE(*withFile.initFile, std::string("/home/u/my files/ZEB.INI"));
        QCOMPARE(*valueOf(parseStartCommandLine("-N -I \"x\"")).initFile, std::string("x"));

        for (const char* malformed : {"-x", "-n -i", "-n -i \"\"", "-n extra", "-n -i \"open"}) {
            const auto outcome = parseStartCommandLine(malformed);
            QVERIFY2(failed(outcome), malformed);
            QVERIFY(!failureOf(outcome).empty());
        }
    }

    void initFileReadsOnlyTheEngineSection() {
        const auto empty = valueOf(parseInitText(""));
        QVERIFY(empty.terminalCommand.empty());
        QVERIFY(!empty.needsRunStep);

        const std::string text = "\xEF\xBB\xBF[Other]\r\n"
                                 "Terminal=should-not-count\r\n"
                                 "RunStep=maybe\r\n"
                                 "; comment\r\n"
                                 "[ engine ]\r\n"
                                 "# comment\r\n"
                                 "  terminal = \"/opt/my term/bin/term\" -fa Mono \r\n"
                                 "RUNSTEP=y\r\n"
                                 "Unknown=ignored\r\n";
        const auto settings = valueOf(parseInitText(text));
        QCOMPARE(settings.terminalCommand, words({"/opt/my term/bin/term", "-fa", "Mono"}));
        QVERIFY(settings.needsRunStep);
        QVERIFY(!valueOf(parseInitText("[Engine]\nRunStep=No\n")).needsRunStep);

        const auto badValue = parseInitText("[Engine]\nRunStep=sometimes\n");
        QVERIFY(failed(badValue));
        QVERIFY(failureOf(badValue).find("Line 2") != std::string::npos);
        QVERIFY(failed(parseInitText("[Engine]\njust words\n")));
        QVERIFY(failed(parseInitText("[Engine]\nTerminal=\"unterminated\n")));
    }

    void initFileThatCannotBeReadIsNamedInTheFailure() {
        test::TempFolder folder;
        const auto missing = readInitFile(folder.file("ZEB.INI"));
        QVERIFY(failed(missing));
        QVERIFY(failureOf(missing).find(folder.file("ZEB.INI")) != std::string::npos);
        // What is not a regular file, or is far too large, fails at once: nothing blocks or never
        // ends.
        QCOMPARE(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
        std::ofstream(folder.file("huge")) << std::string(1024 * 1024 + 1, ';');
        for (const auto& [path, reason] : {std::pair{folder.file(""), "not a regular file"},
                                           {folder.file("fifo"), "not a regular file"},
                                           {std::string("/dev/zero"), "not a regular file"},
                                           {folder.file("huge"), "too large"}}) {
            const auto outcome = readInitFile(path);
            QVERIFY2(failed(outcome) && failureOf(outcome).find(reason) != std::string::npos,
                     path.c_str());
        }

        std::ofstream(folder.file("ZEB.INI")) << "[Engine]\nRunStep=Y\n";
        QVERIFY(valueOf(readInitFile(folder.file("ZEB.INI"))).needsRunStep);
    }

    void lineBufferJoinsPiecesAndDropsOverlongLines() {
        LineBuffer lines(8);
        lines.append("ab");
        QVERIFY(!lines.hasLine());
        lines.append("c\nde\n0123456");
        QCOMPARE(lines.takeLine().text, std::string("abc"));
        QCOMPARE(lines.takeLine().text, std::string("de"));
        QVERIFY(!lines.hasLine());
        lines.append("789ABCDEF"); // over the limit before its end arrives
        lines.append("GHI\nok\n");
        const auto overlong = lines.takeLine();
        QVERIFY(overlong.overlong);
        QVERIFY(overlong.text.empty());
        QCOMPARE(lines.takeLine().text, std::string("ok"));
        QVERIFY(!lines.hasLine());
    }

    void requestsAreParsedAndMalformedOnesExplained() {
        const auto request =
            parseRequest(R"({"id": 7, "call": "SendText", "args": ["a\u007f", 5]})");
        QVERIFY(request.malformed.empty());
        QCOMPARE(request.id, std::int64_t(7));
        QCOMPARE(request.call, std::string("SendText"));
        QCOMPARE(std::get<std::string>(request.args.at(0)), std::string("a\x7f"));
        QCOMPARE(std::get<double>(request.args.at(1)), 5.0);

        QVERIFY(parseRequest(R"({"id":1,"call":"IsReady"})").malformed.empty());
        for (const char* malformed : {"not json", "[1,2]", R"({"call":"IsReady","args":[]})",
                                      R"({"id":1.5,"call":"X"})", R"({"id":0,"call":"X"})",
                                      R"({"id":2,"args":[]})", R"({"id":3,"call":"X","args":7})"}) {
            QVERIFY2(!parseRequest(malformed).malformed.empty(), malformed);
        }
        QCOMPARE(parseRequest(R"({"id":3,"call":"X","args":7})").id, std::int64_t(3));
    }

    void repliesCarryResultAndErrorOnlyWhereTheyBelong() {
        const auto yes = QJsonDocument::fromJson(
            QByteArray::fromStdString(formatReply({2, status::OK, YES, "ignored"})));
        QCOMPARE(yes.object().value("id").toInt(), 2);
        QCOMPARE(yes.object().value("result").toInt(), -1);
        QVERIFY(!yes.object().contains("error"));

        const std::string line = formatReply({3, status::FAIL, std::nullopt, "caf\xC3\xA9"});
        QCOMPARE(line.back(), '\n');
        QCOMPARE(std::count(line.begin(), line.end(), '\n'), 1);
        const auto failure = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        QCOMPARE(failure.value("status").toInteger(), qint64(-2147467259));
        QCOMPARE(failure.value("error").toString(), QString::fromUtf8("caf\xC3\xA9"));
        QVERIFY(!failure.contains("result"));
    }

    void linkMessagesSurviveTheirJourney() {
        const std::string script = ":S\r\nDSK0:TELNET.LIT[1,4] h\xC3\xB6st\x1b";
        const std::string line = encodeLinkMessage({LinkKind::Script, script});
        QCOMPARE(std::count(line.begin(), line.end(), '\n'), 1);
        const auto decoded = decodeLinkMessage(line.substr(0, line.size() - 1));
        QVERIFY(decoded);
        QVERIFY(decoded->kind == LinkKind::Script);
        QCOMPARE(decoded->text, script);
        for (auto kind : {LinkKind::WindowTitle, LinkKind::IconTitle, LinkKind::About}) {
            QVERIFY(decodeLinkMessage(encodeLinkMessage({kind, "t"}))->kind == kind);
        }
        QVERIFY(!decodeLinkMessage(R"({"kind":"other","text":"x"})"));
        QVERIFY(!decodeLinkMessage("{"));
    }

    void scriptLinesAndCommands() {
        QCOMPARE(scriptLines(":S\r\nDSK0:LOG.LIT[1,4] SYS:\r\n:R"),
                 words({":S", "DSK0:LOG.LIT[1,4] SYS:", ":R"}));
        QCOMPARE(scriptLines("a\nb\r\n"), words({"a", "b"}));

        const auto telnet = parseCommand("DSK0:TELNET.LIT[1,4] my host  name");
        QVERIFY(telnet.kind == CommandKind::Connect);
        QCOMPARE(telnet.argument, std::string("my host  name"));
        const auto noName = parseCommand("DSK0:TELNET.LIT[1,4] ");
        QVERIFY(noName.kind == CommandKind::Connect);
        QVERIFY(noName.argument.empty());
        QVERIFY(parseCommand("dsk1:telnet.lit 10.0.0.1").kind == CommandKind::Connect);

        QVERIFY(parseCommand(":S").kind == CommandKind::Switch);
        QVERIFY(parseCommand(":R").kind == CommandKind::Switch);
        for (const char* fixed : {"DSK0:LOG.LIT[1,4] SYS:", "DSK0:RUN.LIT[1,4] DUMMY.RUN",
                                  "DSK0:XY.LIT[1,4] = 0", "DSK0:HOST.LIT[1,4]"}) {
            QVERIFY2(parseCommand(fixed).kind == CommandKind::Fixed, fixed);
        }
        for (const char* unknown : {"DSK0:FORMAT.LIT[1,4] DSK0:", "", ": S", "TELNETX.LIT h"}) {
            QVERIFY2(parseCommand(unknown).kind == CommandKind::Unknown, unknown);
        }
    }

    void terminalTextCannotBreakOutOfItsSequence() {
        QCOMPARE(printable("a\x1b]2;x\x07\x7f\xC2\x9D"
                           "b\xC3\xA9"),
                 std::string("a?]2;x??"
                             "?b\xC3\xA9"));
        QCOMPARE(windowTitleSequence("ZEB Connection to h"),
                 std::string("\x1b]2;ZEB Connection to h\x07"));
        QCOMPARE(iconTitleSequence("h (ZEB)\x07"), std::string("\x1b]1;h (ZEB)?\x07"));
        QCOMPARE(messageLine("done\n"), std::string("done?\r\n"));
    }

    void aboutTextGoesOnTheFirstLineWithinTheWidth() {
        const std::string about = aboutLineSequence("ZEB~Version 1.0~(c) Someone", 80);
        QCOMPARE(about, std::string("\x1b"
                                    "7\x1b[1;1H\x1b[2KZEB - Version 1.0 - (c) Someone\x1b"
                                    "8"));
        const std::string narrow = aboutLineSequence("\xC3\xA9\xC3\xA9\xC3\xA9~x", 2);
        QVERIFY(narrow.find("[2K\xC3\xA9\xC3\xA9\x1b"
                            "8") != std::string::npos);
    }
};

QTEST_GUILESS_MAIN(TestEngineText)
#include "test_engine_text.moc"
