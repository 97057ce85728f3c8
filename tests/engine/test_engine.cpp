// The engine without a display: its parts that need no other process (command lines, the init
// file, line framing, the script, terminal texts, host records, serial settings); the protocol side
// through real pipes as ZEB drives it, every line answered in order with its id (the calls that
// bring up a window are in test_engine_window); the session side on a pseudo-terminal, as inside
// the window: the about text, the script, Telnet to 127.0.0.1, a host that stops reading, a serial
// line over socat (held by XOFF too), the bounded name lookup, every failure.
#include "CommandLine.h"
#include "EngineTestSupport.h"
#include "FdIo.h"
#include "HostResolver.h"
#include "InitFile.h"
#include "LineBuffer.h"
#include "ScratchStore.h"
#include "Script.h"
#include "SerialLine.h"
#include "StoreLayout.h"
#include "TelnetDial.h"
#include "TerminalText.h"

#include <QtTest>

#include <libtelnet.h>

#include <arpa/inet.h>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <tuple>

using namespace zeb;
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

std::string failureFor(const std::string& name) {
    const auto outcome = resolveHost(name);
    return failed(outcome) ? failureOf(outcome) : std::string();
}

void verifyFailure(const QJsonObject& reply, std::int32_t status, const QString& textPart) {
    QCOMPARE(statusOf(reply), status);
    const QString error = reply.value("error").toString();
    QVERIFY2(error.contains(textPart), qPrintable(error));
    QVERIFY(!reply.contains("result"));
}

// A listening TCP socket on a free port of 127.0.0.1, with room for `backlog` connections not yet
// accepted and, when given, a small receive buffer that its connections inherit.
UniqueFd loopbackListener(std::uint16_t& port, int backlog, int receiveBuffer = 0) {
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (receiveBuffer > 0) {
        ::setsockopt(listener.get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener.get(), backlog) != 0) {
        qFatal("No listening socket on 127.0.0.1: %s", std::strerror(errno));
    }
    ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return listener;
}

// One session side on a pseudo-terminal of 100 x 30, as inside a window, with its own store and
// home folder, and the listening link end that the protocol side would own.
struct SessionRig {
    FolderWithStore folder;
    UniqueFd listener{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    UniqueFd link;
    UniqueFd master;
    pid_t pid = -1;
    std::string output; // all the terminal has shown so far

    ~SessionRig() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    // Starts the session side, to connect to the engine at `socketPath`.
    void run(const std::string& socketPath) {
        winsize size{30, 100, 0, 0}; // rows, columns
        int fd = -1;
        pid = ::forkpty(&fd, nullptr, nullptr, &size);
        if (pid == 0) {
            ::setenv("ZEB_REGISTRY", folder.storePath().c_str(), 1);
            ::setenv("HOME", folder.file("").c_str(), 1);
            ::unsetenv("XTERM_VERSION"); // no xterm draws this terminal, whatever runs the test
            ::execl(ENGINE_PROGRAM, ENGINE_PROGRAM, "--session", socketPath.c_str(), nullptr);
            ::_exit(127);
        }
        master.reset(fd);
    }
    // Starts the session side on the link and, for a host, hands it ZEB's script for that host.
    bool start(const std::string& host = {}) {
        sockaddr_un address{AF_UNIX, {}};
        std::strncpy(address.sun_path, folder.file("link").c_str(), sizeof address.sun_path - 1);
        ::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener.get(), 1);
        run(address.sun_path);
        pollfd waiting{listener.get(), POLLIN, 0};
        if (::poll(&waiting, 1, WAIT_LIMIT_MS) == 1) {
            link.reset(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        }
        if (!host.empty()) {
            send(LinkKind::Script, startupScript(host));
        }
        return link.valid();
    }
    void send(LinkKind kind, const std::string& text) {
        writeAll(link.get(), encodeLinkMessage({kind, text}));
    }
    void type(const std::string& keys) { writeAll(master.get(), keys); }
    // Waits until the terminal has shown `text`; if it does not, what it did show explains why.
    bool shows(const std::string& text) {
        if (readUntil(master.get(), output, text)) {
            return true;
        }
        qWarning("The terminal showed: %s",
                 QByteArray::fromStdString(output).toPercentEncoding(" :.,\"/()[]").constData());
        return false;
    }
    // The usual end of a failed or ended connection: the reason, then a key closes the window.
    bool endsOnAKeyAfter(const std::string& reason) {
        if (!shows(reason) || !shows("Press any key to close this window.")) {
            return false;
        }
        type("q");
        int status = -1;
        const bool ended = waitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; },
                                     [&] { readInto(master.get(), output); });
        pid = ended ? -1 : pid;
        return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
};

} // namespace

class TestEngine : public QObject {
    Q_OBJECT

private slots:
    void commandLinesGroupByQuotesAndKeepBackslashes() {
        QCOMPARE(valueOf(splitCommandWords("  -n   -i \"C:\\my dir\\ZEB.INI\" ")),
                 words({"-n", "-i", "C:\\my dir\\ZEB.INI"}));
        QCOMPARE(valueOf(splitCommandWords("xterm -fa \"Mono\"space")),
                 words({"xterm", "-fa", "Monospace"}));
        QCOMPARE(valueOf(splitCommandWords("a \"\" b")), words({"a", "", "b"}));
        QVERIFY(valueOf(splitCommandWords("   ")).empty());
        QCOMPARE(valueOf(splitCommandWords("  /opt/e  -a\t\"b c\" d\"e f\"g \"\" ")),
                 words({"/opt/e", "-a", "b c", "de fg", ""}));
        const auto unterminated = splitCommandWords("-i \"unterminated");
        QVERIFY(failed(unterminated));
        QCOMPARE(
            failureOf(unterminated),
            std::string("The command line has an unterminated double quote: -i \"unterminated"));
        // Start takes exactly ZEB's forms.
        QVERIFY(!valueOf(parseStartCommandLine("-n")).initFile);
        QCOMPARE(*valueOf(parseStartCommandLine("-N -I \"/home/u/my files/ZEB.INI\"")).initFile,
                 std::string("/home/u/my files/ZEB.INI"));
        for (const char* malformed : {"-x", "-n -i", "-n -i \"\"", "-n extra", "-n -i \"open"}) {
            QVERIFY2(failed(parseStartCommandLine(malformed)), malformed);
        }
    }

    void initFileReadsOnlyTheEngineSectionOfARegularFile() {
        QVERIFY(valueOf(parseInitText("")).terminalCommand.empty());
        const std::string text =
            "\xEF\xBB\xBF[Other]\r\nTerminal=should-not-count\r\nRunStep=maybe\r\n"
            "; comment\r\n[ engine ]\r\n# comment\r\n"
            "  terminal = \"/opt/my term/bin/term\" -fa Mono \r\nRUNSTEP=y\r\n"
            "terminaltype = xterm-256color  VT100/B\r\n"
            "Unknown=ignored"; // and no line end at the end
        const auto settings = valueOf(parseInitText(text));
        QCOMPARE(settings.terminalCommand, words({"/opt/my term/bin/term", "-fa", "Mono"}));
        QVERIFY(settings.needsRunStep);
        QCOMPARE(settings.terminalTypes, words({"XTERM-256COLOR", "VT100/B"}));
        QVERIFY(!valueOf(parseInitText("[Engine]\nRunStep=No\n")).needsRunStep);

        const auto badValue = parseInitText("[Engine]\nRunStep=sometimes\n");
        QVERIFY(failed(badValue) && failureOf(badValue).find("Line 2") != std::string::npos);
        QVERIFY(failed(parseInitText("[Engine]\njust words\n")));
        QVERIFY(failed(parseInitText("[Engine]\nTerminal=\"unterminated\n")));
        for (const char* badType :
             {"1VT", "VT_100", "\"\"", "X2345678901234567890123456789012345678901"}) {
            QVERIFY2(failed(parseInitText(std::string("[Engine]\nTerminalType=VT100 ") + badType)),
                     badType);
        }

        // What is missing, not a regular file, or far too large fails at once, and says why:
        // nothing blocks or never ends.
        TempFolder folder;
        QCOMPARE(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
        std::ofstream(folder.file("huge")) << std::string(1024 * 1024 + 1, ';');
        for (const auto& [path, reason] : {std::pair{folder.file("missing"), "No such file"},
                                           {folder.file("fifo"), "not a regular file"},
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
              {"DSK0:LOG.LIT[1,4] SYS:", Fixed, "SYS:"},
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
        // A control or any other ill-formed sequence goes whole: overlong ESC in three and two
        // bytes, overlong CSI, a surrogate, a code past U+10FFFF, the old six-byte form of ESC.
        QCOMPARE(printable("\xE0\x80\x9B[2J \xC0\x9B \xE0\x82\x9B \xED\xA0\x80 \xF4\x90\x80\x80 "
                           "\xFC\x80\x80\x80\x80\x9B."),
                 std::string("?[2J ? ? ? ? ?."));
        // The about text is cut to the width by characters, not bytes (the full line is in the
        // session tests).
        const std::string narrow = aboutLineSequence("\xC3\xA9\xC3\xA9\xC3\xA9~x", 2);
        QVERIFY(narrow.find("[2K\xC3\xA9\xC3\xA9\x1b"
                            "8") != std::string::npos);
    }

    void hostRecordsAndOtherNames() {
        ScratchStore store;
        storeHost("NoAddress", {{layout::TRANSPORT, "TELNET"}, {layout::PORT, "23"}});
        storeHost("BadPort",
                  {{layout::TRANSPORT, "TELNET"}, {layout::ADDRESS, "h"}, {layout::PORT, "99999"}});
        storeHost("Pigeon", {{layout::TRANSPORT, "PIGEON"}});
        storeHost("NoPort", {{layout::TRANSPORT, "SERIAL"}});
        storeHost("BadParity", {{layout::TRANSPORT, "SERIAL"},
                                {layout::PORT, "/dev/ttyS0"},
                                {layout::PARITY, "Purple"}});
        storeText(layout::HOSTLIST_KEY, "Orphan", layout::HOSTLIST_MARK);

        for (const auto& [name, part] : {std::pair{"NoAddress", "no address"},
                                         {"BadPort", "99999"},
                                         {"Pigeon", "PIGEON"},
                                         {"NoPort", "no serial port"},
                                         {"BadParity", "Purple"},
                                         {"Orphan", "record is missing"}}) {
            QVERIFY2(failureFor(name).find(part) != std::string::npos, name);
        }
        QCOMPARE(failureFor(""), std::string("No host name was given."));

        // Other names need EnableNR exactly "Y" (the session tests show both through the engine);
        // empty settings take the defaults (explicit values are read in the session tests).
        storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "y");
        QVERIFY(failed(resolveHost("anyhost")));
        storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "Y");
        const auto typed = std::get<TelnetTarget>(valueOf(resolveHost("any host.example")));
        QCOMPARE(typed.address, std::string("any host.example"));
        QCOMPARE(typed.terminalType, std::string(UNKNOWN_TERMINAL_TYPE));

        storeText(layout::SETTINGS_KEY, layout::DEFAULT_TTY, "AM65");
        storeHost("Office", {{layout::TRANSPORT, "telnet"}, {layout::ADDRESS, "10.1.2.3"}});
        storeHost("Line", {{layout::TRANSPORT, "Serial"},
                           {layout::TRACE_FILE, "/tmp/line.trc"},
                           {layout::PORT, "ttyUSB0"},
                           {layout::DATA_BITS, ""},
                           {layout::BAUD, ""}});
        const auto office =
            std::get<TelnetTarget>(valueOf(resolveHost("office"))); // names compare without case
        QCOMPARE(office.port, TELNET_PORT);
        QCOMPARE(office.terminalType, std::string("AM65")); // the default emulation
        QVERIFY(office.traceFile.empty());
        const auto line = std::get<SerialTarget>(valueOf(resolveHost("Line")));
        QCOMPARE(line.device, std::string("/dev/ttyUSB0"));
        QCOMPARE(line.traceFile, std::string("/tmp/line.trc"));
        QVERIFY(line.line ==
                LineSettings({9600, 8, Parity::None, StopBits::One, FlowControl::None}));
    }

    void lineSettingsAndTheFailuresOfOpeningALine() {
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
        std::vector<std::string> notes;
        for (const auto& [device, reason] : {std::pair{"/dev/zeb-no-such-port", "does not exist"},
                                             {"/dev/null", "not a serial port"}}) {
            const auto outcome = openSerialLine(device, {}, notes);
            QVERIFY2(failed(outcome) && failureOf(outcome).find(reason) != std::string::npos,
                     device);
        }
    }

    void termiosFlagsForEachSetting() {
        using P = Parity;
        using S = StopBits;
        using F = FlowControl;
        constexpr tcflag_t CONTROL = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
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
            QCOMPARE(line.c_cflag & CONTROL, control);
            QCOMPARE(line.c_iflag & (IXON | IXOFF), input);
            QCOMPARE(line.c_cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
            QCOMPARE(line.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0)); // raw
        }
    }

    // Every line is answered in order with its id; malformed ones are refused and the engine goes
    // on. EngineControl takes texts, before Start too, until it is released.
    void callsAreAnsweredInOrderAndMalformedOnesRefused() {
        EngineClient engine(QProcessEnvironment::systemEnvironment());
        for (const auto& [line, why] :
             {std::pair<QByteArray, QString>{"this is not JSON", "not a JSON object"},
              {"[1,2]", "not a JSON object"},
              {R"({"call":"IsReady","args":[]})", "\"id\""},
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
        verifyFailure(engine.call("RunScript", {"x"}), status::UNEXPECTED, "before Start");
        verifyFailure(engine.call("Start", {42}), status::INVALID_ARGUMENT, "Start takes");
        verifyFailure(engine.call("Start", {"-n", "-n"}), status::INVALID_ARGUMENT, "Start takes");
        verifyFailure(engine.call("IsReady", {1}), status::INVALID_ARGUMENT, "no arguments");

        const auto offered = engine.call("QueryInterface", {"EngineControl"});
        QCOMPARE(idOf(offered), 8);
        QCOMPARE(statusOf(offered), 0);
        QVERIFY(!offered.contains("result") && !offered.contains("error"));
        verifyFailure(engine.call("SendCode", {-10, 4294967296.0}), status::INVALID_ARGUMENT,
                      "32-bit");
        verifyFailure(engine.call("SendCode", {-10}), status::INVALID_ARGUMENT, "two arguments");
        verifyFailure(engine.call("SendText", {}), status::INVALID_ARGUMENT, "one argument");
        // Texts of every code are taken; those the engine does not show are ignored.
        for (const auto& [code, selector] : {std::pair{-10, 2}, {-10, 9}, {3, 2}}) {
            QCOMPARE(statusOf(engine.call("SendCode", {code, selector})), 0);
            QCOMPARE(statusOf(engine.call("SendText", {QString("text\x7f")})), 0);
        }
        QCOMPARE(statusOf(engine.call("SendText", {"without a code"})), 0);
        verifyFailure(engine.call("QueryInterface", {"IOther"}), status::NO_INTERFACE, "IOther");
        QCOMPARE(statusOf(engine.call("Release", {"main"})), 0);
        QCOMPARE(statusOf(engine.call("Release", {"EngineControl"})), 0);
        verifyFailure(engine.call("Release", {"everything"}), status::INVALID_ARGUMENT, "Release");
        // Released, EngineControl takes no more texts.
        const auto late = engine.call("SendCode", {-10, 2});
        QCOMPARE(idOf(late), 23);
        verifyFailure(late, status::UNEXPECTED, "EngineControl");
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
        // {DISPLAY, TERMINAL, command line, status, why}; an empty DISPLAY means neither it nor
        // WAYLAND_DISPLAY, an empty TERMINAL means none and nothing to find on PATH.
        const std::tuple<QString, QString, QString, std::int32_t, QString> cases[] = {
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
        for (const auto& [display, terminal, commandLine, status, why] : cases) {
            auto environment = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "TERMINAL"}) {
                environment.remove(name);
            }
            if (!display.isEmpty()) {
                environment.insert("DISPLAY", display);
            }
            const QString noPrograms = QString::fromStdString(folder.file(""));
            environment.insert(terminal.isEmpty() ? "PATH" : "TERMINAL",
                               terminal.isEmpty() ? noPrograms : terminal);
            EngineClient engine(environment);
            verifyFailure(engine.call("Start", {commandLine}), status, why);
            verifyFailure(engine.call("IsReady"), status::UNEXPECTED, "before Start");
        }
    }

    // Sessions that never connect say why: ZEB left before the script (after the about text; the
    // titles are read back from a real window in test_engine_window), the script names no host,
    // or the engine cannot be reached.
    void sessionsThatNeverConnectSayWhy() {
        SessionRig early;
        QVERIFY(early.start());
        early.send(LinkKind::About, "ZEB~Version 1.0~(c) Verdastone\x1b[31m");
        QVERIFY(early.shows("\x1b[1;1H\x1b[2KZEB - Version 1.0 - (c) Verdastone?[31m\x1b"
                            "8"));
        early.link.reset();
        QVERIFY(early.endsOnAKeyAfter("ZEB ended before it handed over the start-up script."));

        SessionRig hostless;
        QVERIFY(hostless.start());
        hostless.send(LinkKind::Script, ":S\r\nDSK0:FORMAT.LIT[1,4] ALL");
        QVERIFY(hostless.shows(
            "DSK0:FORMAT.LIT[1,4] ALL\r\n(not a command this engine knows; ignored)"));
        QVERIFY(hostless.endsOnAKeyAfter("The start-up script named no host to connect to."));

        SessionRig unreachable;
        unreachable.run(unreachable.folder.file("no-such-socket"));
        QVERIFY(unreachable.endsOnAKeyAfter("This window cannot reach the engine that opened it"));
    }

    void telnetHostNegotiatesRelaysAndTraces() {
        SessionRig rig;
        TelnetTestServer host;
        std::ofstream(rig.folder.file("plant.trc")) << "earlier\n";
        storeHost("Plant", {{layout::TRANSPORT, "TELNET"},
                            {layout::TRACE_FILE, "plant.trc"},
                            {layout::TTY, "AM75G"},
                            {layout::ADDRESS, "127.0.0.1"},
                            {layout::PORT, std::to_string(host.port())}});
        QVERIFY(rig.start("Plant"));
        QVERIFY(rig.shows("DSK0:TELNET.LIT[1,4] Plant\r\nConnecting to 127.0.0.1 port " +
                          std::to_string(host.port()) + "...\r\nConnected.\r\n"));
        QVERIFY(rig.shows("DSK0:HOST.LIT[1,4]\r\n"));

        QVERIFY(host.waitFor([](const TelnetObservations& seen) {
            // Outside xterm, only the record's emulation.
            return seen.terminalTypes == std::vector<std::string>{"AM75G", "AM75G", "AM75G"} &&
                   seen.columns == 100 && seen.rows == 30 &&
                   seen.agreed ==
                       std::set<std::pair<int, int>>{{TELNET_EV_DO, TELNET_TELOPT_ECHO},
                                                     {TELNET_EV_DO, TELNET_TELOPT_SGA},
                                                     {TELNET_EV_WILL, TELNET_TELOPT_TTYPE},
                                                     {TELNET_EV_WILL, TELNET_TELOPT_NAWS}};
        }));

        const std::string fromHost = "Welcome to Plant\r\n\xff\x01 binary\x1b[0m ok";
        host.send(fromHost);
        QVERIFY(rig.shows(fromHost));
        rig.type("dir\r");
        QVERIFY(host.waitFor(
            [](const TelnetObservations& seen) { return seen.received == "dir\r\n"; }));

        const winsize bigger{43, 132, 0, 0}; // rows, columns
        ::ioctl(rig.master.get(), TIOCSWINSZ, &bigger);
        QVERIFY(host.waitFor(
            [](const TelnetObservations& seen) { return seen.columns == 132 && seen.rows == 43; }));

        host.closeClient();
        QVERIFY(rig.endsOnAKeyAfter("The host closed the connection."));
        QCOMPARE(contentsOf(rig.folder.file("plant.trc")), "earlier\n" + fromHost);
    }

    void undefinedNamesDependOnNameResolution() {
        SessionRig refused;
        storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "N");
        QVERIFY(refused.start("nowhere"));
        QVERIFY(refused.endsOnAKeyAfter("The host \"nowhere\" is not defined."));
        QVERIFY(refused.output.find("Connecting") == std::string::npos);
        QVERIFY(refused.output.find("DSK0:HOST.LIT") == std::string::npos);

        SessionRig resolved; // a store of its own
        storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "Y");
        QVERIFY(resolved.start("localhost"));
        QVERIFY(resolved.shows("Looking up localhost...\r\nConnecting to localhost port 23..."));
    }

    void refusedConnectionIsReported() {
        SessionRig rig;
        const auto port = std::to_string(TelnetTestServer().port()); // closed again at once
        // A trace file that cannot be opened at once (a FIFO nobody reads) is named, escaped.
        const std::string trace = rig.folder.file("fifo\x1b[2J");
        QCOMPARE(::mkfifo(trace.c_str(), 0600), 0);
        storeHost("Gone", {{layout::TRANSPORT, "TELNET"},
                           {layout::ADDRESS, "127.0.0.1"},
                           {layout::TRACE_FILE, trace},
                           {layout::PORT, port}});
        QVERIFY(rig.start("Gone"));
        QVERIFY(rig.shows("The trace file " + rig.folder.file("fifo?[2J") + " cannot be opened"));
        QVERIFY(rig.endsOnAKeyAfter("Cannot connect to 127.0.0.1 port " + port +
                                    ": Connection refused."));
    }

    // A host that accepts and then reads nothing: the keys fill the bounded queue, the window says
    // so and goes on showing what the host sends; once the host reads, keys go again; closing the
    // window ends the connection at once.
    void hostThatStopsReadingNeitherFreezesNorHoldsTheWindow() {
        SessionRig rig;
        std::uint16_t port = 0;
        const UniqueFd listener = loopbackListener(port, 1, 4096); // the kernel holds little
        storeHost("Stalled", {{layout::TRANSPORT, "TELNET"},
                              {layout::ADDRESS, "127.0.0.1"},
                              {layout::PORT, std::to_string(port)}});
        QVERIFY(rig.start("Stalled"));
        QVERIFY(rig.shows("Connected."));
        const UniqueFd host(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        QVERIFY(host.valid());

        // Typed as fast as the terminal takes it; a window blocked in a write would stop taking.
        ::fcntl(rig.master.get(), F_SETFL, O_NONBLOCK);
        const std::string keys(64 * 1024, 'k');
        const std::string refused = "The host is not reading what is sent to it";
        QVERIFY(waitUntil([&] { return rig.output.find(refused) != std::string::npos; },
                          [&] {
                              (void)::write(rig.master.get(), keys.data(), keys.size());
                              readInto(rig.master.get(), rig.output);
                          }));
        QVERIFY(writeAll(host.get(), "still drawing"));
        QVERIFY(rig.shows("still drawing"));

        ::fcntl(host.get(), F_SETFL, O_NONBLOCK);
        const auto hostReadsAll = [&] {
            while (!readSome(host.get()).empty()) {
            }
            readInto(rig.master.get(), rig.output);
        };
        QVERIFY(
            waitUntil([&] { return rig.output.find("The host reads again") != std::string::npos; },
                      hostReadsAll));

        rig.master.reset(); // the window closes
        QVERIFY(waitUntil([&] { return ::waitpid(rig.pid, nullptr, WNOHANG) == rig.pid; }, [] {},
                          10ms));
        rig.pid = -1;
        bool ended = false;
        QVERIFY(waitUntil([&] { return ended; },
                          [&] {
                              pollfd readable{host.get(), POLLIN, 0};
                              if (::poll(&readable, 1, 100) == 1) {
                                  ended = readSome(host.get()).empty() && errno != EAGAIN;
                              }
                          }));
    }

    // A host that does not take the connection (its queue of connections is full, so the kernel
    // drops the attempts): the window says what it waits for, goes on serving, and closes at once.
    void unansweredConnectCanBeGivenUp() {
        SessionRig rig;
        std::uint16_t port = 0;
        const UniqueFd listener = loopbackListener(port, 0);
        const UniqueFd queued(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)); // fills the queue
        const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        QCOMPARE(
            ::connect(queued.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address),
            0);
        storeHost("Full", {{layout::TRANSPORT, "TELNET"},
                           {layout::ADDRESS, "127.0.0.1"},
                           {layout::PORT, std::to_string(port)}});
        QVERIFY(rig.start("Full"));
        QVERIFY(rig.shows("Connecting to 127.0.0.1 port " + std::to_string(port) + "..."));
        rig.send(LinkKind::About, "ZEB~Version 1.0~waiting");
        QVERIFY(rig.shows("ZEB - Version 1.0 - waiting"));
        rig.master.reset(); // the window closes
        QVERIFY(waitUntil([&] { return ::waitpid(rig.pid, nullptr, WNOHANG) == rig.pid; }, [] {},
                          10ms));
        rig.pid = -1;
        QVERIFY(rig.output.find("Connected.") == std::string::npos);
    }

    // The lookup of a host name runs apart and within its bound, so a name service that never
    // answers ends in a reason instead of a window that waits for ever; a lookup's own failure
    // comes through as it is.
    void hostLookupIsBounded() {
        const auto outcomeOf = [](TelnetDial& dial) {
            std::optional<Outcome<UniqueFd>> done;
            waitUntil([&] { return done.has_value(); },
                      [&] {
                          pollfd ready{dial.fd(), dial.events(), 0};
                          ::poll(&ready, 1, dial.millisecondsLeft());
                          done = dial.step();
                      });
            return done ? failureOf(*done) : std::string("(still waiting)");
        };
        TelnetDial hanging("stuck.example", TELNET_PORT, 200ms,
                           [](const std::string&) -> Outcome<std::vector<std::string>> {
                               ::pause();
                               return Failure{"the lookup came back"};
                           });
        QCOMPARE(outcomeOf(hanging), std::string("The host name \"stuck.example\" was not looked "
                                                 "up within 200 milliseconds: the name service "
                                                 "does not answer."));
        TelnetDial unknown("nowhere.example", TELNET_PORT, TelnetDial::LIMIT,
                           [](const std::string&) -> Outcome<std::vector<std::string>> {
                               return Failure{"No such host."};
                           });
        QCOMPARE(outcomeOf(unknown), std::string("No such host."));
    }

    void serialLineOverSocatCarriesBytesBothWays() {
        SessionRig rig;
        const std::string engineEnd = rig.folder.file("ttyEngine");
        const std::string hostEnd = rig.folder.file("ttyHost");
        QProcess line; // a pair of connected pseudo-terminals, at the two paths
        line.start("socat", {QString::fromStdString("pty,raw,echo=0,link=" + engineEnd),
                             QString::fromStdString("pty,raw,echo=0,link=" + hostEnd)});
        QVERIFY2(line.waitForStarted(), "socat is missing; `make deps-test` installs it");
        const auto exists = [](const std::string& path) {
            return ::access(path.c_str(), F_OK) == 0;
        };
        QVERIFY(waitUntil([&] { return exists(engineEnd) && exists(hostEnd); }, [] {}, 20ms));
        storeHost("Line", {{layout::TRANSPORT, "SERIAL"},
                           {layout::TRACE_FILE, rig.folder.file("line.trc")},
                           {layout::PORT, engineEnd},
                           {layout::BAUD, "19200"},
                           {layout::DATA_BITS, "8"},
                           {layout::PARITY, "Space"},
                           {layout::STOP_BITS, "1.5"},
                           {layout::FLOW_CONTROL, "Xon / Xoff"}});
        QVERIFY(rig.start("Line"));
        QVERIFY(rig.shows("with 8 data bits it sends 2."));
        // A pseudo-terminal line cannot hold parity; the window says so and goes on.
        QVERIFY(rig.shows("did not take parity Space;"));
        QVERIFY(rig.shows("Connected."));
        // The engine keeps the line to itself: another user of it, root included, is turned away.
        std::vector<std::string> notes;
        const auto second = openSerialLine(engineEnd, {}, notes);
        QVERIFY(failed(second) && failureOf(second).find("is busy") != std::string::npos);

        if (::geteuid() == 0) { // only root may look at a port held with TIOCEXCL
            const UniqueFd port(::open(engineEnd.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK));
            termios applied{};
            QCOMPARE(::tcgetattr(port.get(), &applied), 0);
            QCOMPARE(cfgetospeed(&applied), speed_t(B19200));
            QCOMPARE(applied.c_cflag & CSTOPB, tcflag_t(CSTOPB));
            QCOMPARE(applied.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
        }

        const UniqueFd host(::open(hostEnd.c_str(), O_RDWR | O_NOCTTY));
        std::string hostSaw;
        const std::string fromHost = "login: \x07\xe9";
        QVERIFY(::write(host.get(), fromHost.data(), fromHost.size()) == ssize_t(fromHost.size()));
        QVERIFY(rig.shows(fromHost));
        rig.type("user\r");
        QVERIFY(readUntil(host.get(), hostSaw, "user\r"));
        // The host holds the line (XOFF, taken before what follows it): the keys wait in the
        // engine, the window goes on showing what the host sends, and XON lets the keys through.
        QVERIFY(writeAll(host.get(), "\x13held"));
        QVERIFY(rig.shows("held"));
        rig.type("typed while held\r");
        QVERIFY(writeAll(host.get(), " still drawing"));
        QVERIFY(rig.shows(" still drawing"));
        readInto(host.get(), hostSaw);
        QVERIFY(hostSaw.find("typed") == std::string::npos);
        QVERIFY(writeAll(host.get(), "\x11"));
        QVERIFY(readUntil(host.get(), hostSaw, "typed while held\r"));

        line.terminate();
        QVERIFY(line.waitForFinished());
        QVERIFY(rig.endsOnAKeyAfter("The serial line " + engineEnd + " ended"));
        QCOMPARE(contentsOf(rig.folder.file("line.trc")), fromHost + "held still drawing");
        struct stat trace {};
        QCOMPARE(::stat(rig.folder.file("line.trc").c_str(), &trace), 0);
        QCOMPARE(trace.st_mode & 0777, mode_t(0600)); // what the host showed is the user's alone
    }

    void busySerialPortIsReported() {
        SessionRig rig;
        int master = -1;
        int slave = -1;
        char name[128] = {};
        QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        const UniqueFd heldMaster(master);
        const UniqueFd heldSlave(slave);
        QCOMPARE(::flock(slave, LOCK_EX | LOCK_NB), 0); // another program has the port
        storeHost("Busy", {{layout::TRANSPORT, "SERIAL"}, {layout::PORT, name}});
        QVERIFY(rig.start("Busy"));
        QVERIFY(rig.endsOnAKeyAfter(std::string("The serial port ") + name +
                                    " is busy: another program is using it."));
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "test_engine.moc"
