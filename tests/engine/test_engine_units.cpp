// The engine's parts that need no other process: command lines, the initialization file, line
// framing, the script, the texts written to the terminal, host records read from the store and
// serial line settings. The protocol's own lines are tested through pipes, in
// test_engine_processes.
#include "CommandLine.h"
#include "EngineTestSupport.h"
#include "HostResolver.h"
#include "InitFile.h"
#include "LineBuffer.h"
#include "ScratchStore.h"
#include "Script.h"
#include "SerialLine.h"
#include "StoreLayout.h"
#include "TerminalText.h"

#include <QtTest>

#include <fstream>
#include <sys/stat.h>
#include <tuple>

using namespace zeb::engine;
using namespace zeb::engine::test;
namespace layout = zeb::layout;

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

template <class T> T targetOf(const std::string& name) {
    return std::get<T>(valueOf(resolveHost(name)));
}

std::string failureFor(const std::string& name) {
    const auto outcome = resolveHost(name);
    return failed(outcome) ? failureOf(outcome) : std::string();
}

} // namespace

class TestEngineUnits : public QObject {
    Q_OBJECT

private slots:
    void commandLinesGroupByQuotesAndKeepBackslashes() {
        QCOMPARE(valueOf(splitCommandWords("  -n   -i \"C:\\my dir\\ZEB.INI\" ")),
                 words({"-n", "-i", "C:\\my dir\\ZEB.INI"}));
        QCOMPARE(valueOf(splitCommandWords("xterm -fa \"Mono\"space")),
                 words({"xterm", "-fa", "Monospace"}));
        QCOMPARE(valueOf(splitCommandWords("a \"\" b")), words({"a", "", "b"}));
        QVERIFY(valueOf(splitCommandWords("   ")).empty());
        QVERIFY(failed(splitCommandWords("-i \"unterminated")));
        // Start takes exactly ZEB's forms.
        QVERIFY(!valueOf(parseStartCommandLine("-n")).initFile);
        QCOMPARE(*valueOf(parseStartCommandLine("-N -I \"/home/u/my files/ZEB.INI\"")).initFile,
                 std::string("/home/u/my files/ZEB.INI"));
        for (const char* malformed : {"-x", "-n -i", "-n -i \"\"", "-n extra", "-n -i \"open"}) {
            QVERIFY2(failed(parseStartCommandLine(malformed)), malformed);
        }
    }

    void initFileReadsOnlyTheEngineSection() {
        QVERIFY(valueOf(parseInitText("")).terminalCommand.empty());
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
        QVERIFY(failed(badValue) && failureOf(badValue).find("Line 2") != std::string::npos);
        QVERIFY(failed(parseInitText("[Engine]\njust words\n")));
        QVERIFY(failed(parseInitText("[Engine]\nTerminal=\"unterminated\n")));
    }

    // What is missing, not a regular file, or far too large fails at once, and says why: nothing
    // blocks or never ends.
    void initFilesThatCannotBeReadFailAtOnce() {
        TempFolder folder;
        QCOMPARE(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
        std::ofstream(folder.file("huge")) << std::string(1024 * 1024 + 1, ';');
        for (const auto& [path, reason] : {std::pair{folder.file("missing"), "No such file"},
                                           {folder.file(""), "not a regular file"},
                                           {folder.file("fifo"), "not a regular file"},
                                           {std::string("/dev/zero"), "not a regular file"},
                                           {folder.file("huge"), "too large"}}) {
            const auto outcome = readInitFile(path);
            QVERIFY2(failed(outcome) && failureOf(outcome).find(reason) != std::string::npos,
                     path.c_str());
        }
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
        QVERIFY(overlong.overlong && overlong.text.empty());
        QCOMPARE(lines.takeLine().text, std::string("ok"));
        QVERIFY(!lines.hasLine());
    }

    void scriptLinesAndCommands() {
        QCOMPARE(scriptLines(":S\r\nDSK0:LOG.LIT[1,4] SYS:\r\n:R"),
                 words({":S", "DSK0:LOG.LIT[1,4] SYS:", ":R"}));
        QCOMPARE(scriptLines("a\nb\r\n"), words({"a", "b"}));
        using enum CommandKind;
        for (const auto& [line, kind, argument] :
             {std::tuple{"DSK0:TELNET.LIT[1,4] my host  name", Connect, "my host  name"},
              {"DSK0:TELNET.LIT[1,4] ", Connect, ""},
              {"dsk1:telnet.lit 10.0.0.1", Connect, "10.0.0.1"},
              {":S", Switch, ""},
              {":R", Switch, ""},
              {"DSK0:LOG.LIT[1,4] SYS:", Fixed, "SYS:"},
              {"DSK0:RUN.LIT[1,4] DUMMY.RUN", Fixed, "DUMMY.RUN"},
              {"DSK0:XY.LIT[1,4] = 0", Fixed, "= 0"},
              {"DSK0:HOST.LIT[1,4]", Fixed, ""},
              {"DSK0:FORMAT.LIT[1,4] DSK0:", Unknown, "DSK0:"},
              {"", Unknown, ""},
              {": S", Unknown, "S"},
              {"TELNETX.LIT h", Unknown, "h"}}) {
            const auto command = parseCommand(line);
            QVERIFY2(command.kind == kind && command.argument == argument, line);
        }
    }

    void terminalTextCannotBreakOutOfItsSequence() {
        QCOMPARE(printable("a\x1b]2;x\x07\x7f\xC2\x9D"
                           "b\xC3\xA9"),
                 std::string("a?]2;x??"
                             "?b\xC3\xA9"));
        QCOMPARE(iconTitleSequence("h (ZEB)\x07"), std::string("\x1b]1;h (ZEB)?\x07"));
        QCOMPARE(messageLine("done\n"), std::string("done?\r\n"));
        // Bytes that are not UTF-8 go too: a stray 0x9B is CSI to a terminal in 8-bit mode.
        QCOMPARE(printable("\x9b"
                           "2J \xC5\x9B \xE2\x82 \xff"),
                 std::string("?2J \xC5\x9B ?? ?"));
        // The about text is cut to the width by characters, not bytes (the full line is in the
        // session tests).
        const std::string narrow = aboutLineSequence("\xC3\xA9\xC3\xA9\xC3\xA9~x", 2);
        QVERIFY(narrow.find("[2K\xC3\xA9\xC3\xA9\x1b"
                            "8") != std::string::npos);
    }

    void brokenRecordsAreReportedNotGuessed() {
        ScratchStore store;
        storeHost("NoAddress", {{layout::TRANSPORT, "TELNET"}, {layout::PORT, "23"}});
        storeHost("BadPort",
                  {{layout::TRANSPORT, "TELNET"}, {layout::ADDRESS, "h"}, {layout::PORT, "99999"}});
        storeHost("Letters",
                  {{layout::TRANSPORT, "TELNET"}, {layout::ADDRESS, "h"}, {layout::PORT, "2a"}});
        storeHost("Pigeon", {{layout::TRANSPORT, "PIGEON"}});
        storeHost("NoPort", {{layout::TRANSPORT, "SERIAL"}});
        storeHost("BadParity", {{layout::TRANSPORT, "SERIAL"},
                                {layout::PORT, "/dev/ttyS0"},
                                {layout::PARITY, "Purple"}});
        storeText(layout::HOSTLIST_KEY, "Orphan", layout::HOSTLIST_MARK);

        for (const auto& [name, part] : {std::pair{"NoAddress", "no address"},
                                         {"BadPort", "99999"},
                                         {"Letters", "2a"},
                                         {"Pigeon", "PIGEON"},
                                         {"NoPort", "no serial port"},
                                         {"BadParity", "Purple"},
                                         {"Orphan", "record is missing"}}) {
            QVERIFY2(failureFor(name).find(part) != std::string::npos, name);
        }
        QCOMPARE(failureFor(""), std::string("No host name was given."));
    }

    // Other names need EnableNR exactly "Y" (the session tests show both through the engine);
    // empty settings take the defaults (a record's explicit values are read in the session tests).
    void otherNamesAndDefaultsForEmptySettings() {
        ScratchStore store;
        storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "y");
        QVERIFY(failed(resolveHost("anyhost")));
        storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "Y");
        const auto typed = targetOf<TelnetTarget>("any host.example");
        QCOMPARE(typed.address, std::string("any host.example"));
        QCOMPARE(typed.terminalType, std::string(UNKNOWN_TERMINAL_TYPE));
        QVERIFY(typed.traceFile.empty());

        storeText(layout::SETTINGS_KEY, layout::DEFAULT_TTY, "AM65");
        storeHost("Office", {{layout::TRANSPORT, "telnet"}, {layout::ADDRESS, "10.1.2.3"}});
        storeHost("Line", {{layout::TRANSPORT, "Serial"},
                           {layout::TRACE_FILE, "/tmp/line.trc"},
                           {layout::PORT, "ttyUSB0"},
                           {layout::DATA_BITS, ""},
                           {layout::BAUD, ""}});
        const auto office = targetOf<TelnetTarget>("office"); // names compare without case
        QCOMPARE(office.port, TELNET_PORT);
        QCOMPARE(office.terminalType, std::string("AM65")); // the default emulation
        QVERIFY(office.traceFile.empty());
        const auto line = targetOf<SerialTarget>("Line");
        QCOMPARE(line.device, std::string("/dev/ttyUSB0"));
        QCOMPARE(line.traceFile, std::string("/tmp/line.trc"));
        QVERIFY(line.line ==
                LineSettings({9600, 8, Parity::None, StopBits::One, FlowControl::None}));
    }

    void lineSettingsFromTheChoiceLists() {
        const auto mixed = parseLineSettings("300", "5", "space", "2", "HARDWARE");
        QVERIFY(!failed(mixed));
        QVERIFY(std::get<LineSettings>(mixed) ==
                LineSettings({300, 5, Parity::Space, StopBits::Two, FlowControl::Hardware}));
        for (const auto& bad :
             {parseLineSettings("115200", "", "", "", ""), parseLineSettings("", "9", "", "", ""),
              parseLineSettings("", "", "", "3", ""),
              parseLineSettings("", "", "", "", "Xon/Xoff")}) {
            QVERIFY(failed(bad));
        }
        QCOMPARE(describeLineSettings({}),
                 std::string("9600 baud, 8 data bits, parity None, 1 stop bit, flow control None"));
    }

    void termiosFlagsForEachSetting() {
        using P = Parity;
        using S = StopBits;
        using F = FlowControl;
        constexpr tcflag_t kControl = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
        // {settings, control flags, input flags, notes}. Mark and space are "stick" parity; 1.5
        // stop bits are 2 unless there are 5 data bits, and the user is told.
        const std::tuple<LineSettings, tcflag_t, tcflag_t, size_t> cases[] = {
            {{9600, 8, P::None, S::One, F::None}, CS8, 0, 0},
            {{300, 7, P::Even, S::Two, F::Hardware}, CS7 | PARENB | CSTOPB | CRTSCTS, 0, 0},
            {{1200, 6, P::Odd, S::One, F::XonXoff}, CS6 | PARENB | PARODD, IXON | IXOFF, 0},
            {{2400, 8, P::Mark, S::OneAndHalf, F::None},
             CS8 | PARENB | CMSPAR | PARODD | CSTOPB,
             0,
             1},
            {{4800, 5, P::Space, S::OneAndHalf, F::None}, CS5 | PARENB | CMSPAR | CSTOPB, 0, 0},
        };
        for (const auto& [settings, control, input, notes] : cases) {
            termios line{};
            QCOMPARE(applyLineSettings(line, settings).size(), notes);
            QCOMPARE(line.c_cflag & kControl, control);
            QCOMPARE(line.c_iflag & (IXON | IXOFF), input);
            QCOMPARE(line.c_cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
            QCOMPARE(line.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0)); // raw
        }
    }

    void serialFailuresSayWhatIsWrong() {
        std::vector<std::string> notes;
        for (const auto& [device, reason] : {std::pair{"/dev/zeb-no-such-port", "does not exist"},
                                             {"/dev/null", "not a serial port"}}) {
            const auto outcome = openSerialLine(device, {}, notes);
            QVERIFY2(failed(outcome) && failureOf(outcome).find(reason) != std::string::npos,
                     device);
        }
    }
};

QTEST_GUILESS_MAIN(TestEngineUnits)
#include "test_engine_units.moc"
