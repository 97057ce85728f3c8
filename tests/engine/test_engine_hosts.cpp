// From a name to a connection: host records read from the store, name resolution by the
// settings, and serial lines set up as the records say.
#include "EngineTestSupport.h"
#include "HostResolver.h"
#include "ScratchStore.h"
#include "SerialLine.h"
#include "StoreLayout.h"

#include "CRegKey.h"

#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>

using namespace zeb::engine;
namespace layout = zeb::layout;

namespace {

void setValue(const std::string& keyPath, const std::string& name, const std::string& text) {
    zeb::reg::CRegKey key;
    QCOMPARE(key.Create(zeb::reg::HKEY_LOCAL_MACHINE, keyPath), 0);
    QCOMPARE(key.SetValue(text, name), 0);
    key.CloseKey();
}

void addHost(const std::string& name,
             const std::vector<std::pair<std::string, std::string>>& values) {
    setValue(layout::HOSTLIST_KEY, name, layout::HOSTLIST_MARK);
    for (const auto& [valueName, text] : values) {
        setValue(std::string(layout::HOSTS_KEY) + "\\" + name, valueName, text);
    }
}

template <class T> T targetOf(const std::string& name) {
    const auto outcome = resolveHost(name);
    if (failed(outcome)) {
        qFatal("%s: %s", name.c_str(), failureOf(outcome).c_str());
    }
    return std::get<T>(std::get<HostTarget>(outcome));
}

std::string failureFor(const std::string& name) {
    const auto outcome = resolveHost(name);
    return failed(outcome) ? failureOf(outcome) : std::string();
}

// A pseudo-terminal pair standing in for a serial line: the engine opens the slave by its path,
// and the master reports the slave's line settings.
struct PtyLine {
    PtyLine() {
        int master = -1;
        int slave = -1;
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            this->master.reset(master);
            this->slave.reset(slave); // held so the line stays up between the engine's opens
            path = name;
        }
    }
    termios settings() const {
        termios line{};
        ::tcgetattr(master.get(), &line);
        return line;
    }
    UniqueFd master;
    UniqueFd slave;
    std::string path;
};

} // namespace

class TestEngineHosts : public QObject {
    Q_OBJECT

private slots:
    void telnetRecordsGiveAddressPortTypeAndTrace() {
        ScratchStore store;
        setValue(layout::SETTINGS_KEY, layout::DEFAULT_TTY, "AM65");
        addHost("Plant", {{layout::TRANSPORT, "telnet"},
                          {layout::TRACE_FILE, "plant.trc"},
                          {layout::TTY, "AM75G"},
                          {layout::ADDRESS, "plant.example"},
                          {layout::PORT, "2323"}});
        addHost("Office", {{layout::TRANSPORT, "TELNET"}, {layout::ADDRESS, "10.1.2.3"}});

        const auto plant = targetOf<TelnetTarget>("plant"); // names compare without case
        QCOMPARE(plant.address, std::string("plant.example"));
        QCOMPARE(plant.port, std::uint16_t(2323));
        QCOMPARE(plant.terminalType, std::string("AM75G"));
        QCOMPARE(plant.traceFile, std::string("plant.trc"));

        const auto office = targetOf<TelnetTarget>("Office");
        QCOMPARE(office.port, TELNET_PORT);                 // an empty port is 23
        QCOMPARE(office.terminalType, std::string("AM65")); // the default emulation
        QVERIFY(office.traceFile.empty());
    }

    void brokenRecordsAreReportedNotGuessed() {
        ScratchStore store;
        addHost("NoAddress", {{layout::TRANSPORT, "TELNET"}, {layout::PORT, "23"}});
        addHost("BadPort",
                {{layout::TRANSPORT, "TELNET"}, {layout::ADDRESS, "h"}, {layout::PORT, "99999"}});
        addHost("Letters",
                {{layout::TRANSPORT, "TELNET"}, {layout::ADDRESS, "h"}, {layout::PORT, "2a"}});
        addHost("Pigeon", {{layout::TRANSPORT, "PIGEON"}});
        addHost("NoPort", {{layout::TRANSPORT, "SERIAL"}});
        addHost("BadParity", {{layout::TRANSPORT, "SERIAL"},
                              {layout::PORT, "/dev/ttyS0"},
                              {layout::PARITY, "Purple"}});
        setValue(layout::HOSTLIST_KEY, "Orphan", layout::HOSTLIST_MARK);

        QVERIFY(failureFor("NoAddress").find("no address") != std::string::npos);
        QVERIFY(failureFor("BadPort").find("99999") != std::string::npos);
        QVERIFY(failureFor("Letters").find("2a") != std::string::npos);
        QVERIFY(failureFor("Pigeon").find("PIGEON") != std::string::npos);
        QVERIFY(failureFor("NoPort").find("no serial port") != std::string::npos);
        QVERIFY(failureFor("BadParity").find("Purple") != std::string::npos);
        QVERIFY(failureFor("Orphan").find("record is missing") != std::string::npos);
        QCOMPARE(failureFor(""), std::string("No host name was given."));
    }

    void serialRecordsTakeDefaultsForEmptySettings() {
        ScratchStore store;
        addHost("Line", {{layout::TRANSPORT, "Serial"},
                         {layout::TRACE_FILE, "/tmp/line.trc"},
                         {layout::PORT, "ttyUSB0"},
                         {layout::DATA_BITS, ""},
                         {layout::BAUD, ""}});
        addHost("Full", {{layout::TRANSPORT, "SERIAL"},
                         {layout::PORT, "/dev/ttyS1"},
                         {layout::DATA_BITS, "7"},
                         {layout::BAUD, "57600"},
                         {layout::PARITY, "Mark"},
                         {layout::STOP_BITS, "1.5"},
                         {layout::FLOW_CONTROL, "Xon / Xoff"}});

        const auto line = targetOf<SerialTarget>("Line");
        QCOMPARE(line.device, std::string("/dev/ttyUSB0"));
        QCOMPARE(line.traceFile, std::string("/tmp/line.trc"));
        QVERIFY(line.line ==
                LineSettings({9600, 8, Parity::None, StopBits::One, FlowControl::None}));

        const auto full = targetOf<SerialTarget>("Full");
        QCOMPARE(full.device, std::string("/dev/ttyS1"));
        QVERIFY(full.line ==
                LineSettings({57600, 7, Parity::Mark, StopBits::OneAndHalf, FlowControl::XonXoff}));
    }

    void otherNamesNeedNameResolution() {
        ScratchStore store;
        QCOMPARE(failureFor("anyhost"), std::string("The host \"anyhost\" is not defined."));
        setValue(layout::SETTINGS_KEY, layout::ENABLE_NR, "y"); // only exactly "Y" permits
        QVERIFY(failed(resolveHost("anyhost")));

        setValue(layout::SETTINGS_KEY, layout::ENABLE_NR, "Y");
        const auto typed = targetOf<TelnetTarget>("any host.example");
        QCOMPARE(typed.address, std::string("any host.example"));
        QCOMPARE(typed.port, TELNET_PORT);
        QCOMPARE(typed.terminalType, std::string(UNKNOWN_TERMINAL_TYPE));
        QVERIFY(typed.traceFile.empty());
    }

    void traceFilesWithoutFolderGoToTheHomeFolder() {
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", "/home/someone");
        QCOMPARE(traceFilePath("trace.txt"), std::string("/home/someone/trace.txt"));
        QCOMPARE(traceFilePath("logs/trace.txt"), std::string("/home/someone/logs/trace.txt"));
        QCOMPARE(traceFilePath("/var/tmp/trace.txt"), std::string("/var/tmp/trace.txt"));
        qputenv("HOME", savedHome);
    }

    void lineSettingsFromTheChoiceLists() {
        for (const char* baud :
             {"110", "300", "1200", "2400", "4800", "9600", "19200", "38400", "57600"}) {
            const auto settings = parseLineSettings(baud, "", "", "", "");
            QVERIFY2(!failed(settings), baud);
            QCOMPARE(std::get<LineSettings>(settings).baud, std::atoi(baud));
        }
        const auto mixed = parseLineSettings("", "5", "space", "2", "HARDWARE");
        QVERIFY(!failed(mixed));
        QVERIFY(std::get<LineSettings>(mixed) ==
                LineSettings({9600, 5, Parity::Space, StopBits::Two, FlowControl::Hardware}));
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
        struct Case {
            LineSettings settings;
            tcflag_t size;
            tcflag_t parity;
            bool twoStops;
            size_t notes;
        };
        const Case cases[] = {
            {{9600, 8, Parity::None, StopBits::One, FlowControl::None}, CS8, 0, false, 0},
            {{300, 7, Parity::Even, StopBits::Two, FlowControl::None}, CS7, PARENB, true, 0},
            {{1200, 6, Parity::Odd, StopBits::One, FlowControl::None},
             CS6,
             PARENB | PARODD,
             false,
             0},
            {{2400, 8, Parity::Mark, StopBits::OneAndHalf, FlowControl::None},
             CS8,
             PARENB | CMSPAR | PARODD,
             true,
             1},
            {{4800, 5, Parity::Space, StopBits::OneAndHalf, FlowControl::None},
             CS5,
             PARENB | CMSPAR,
             true,
             0},
        };
        for (const auto& c : cases) {
            termios line{};
            const auto notes = applyLineSettings(line, c.settings);
            QCOMPARE(line.c_cflag & CSIZE, c.size);
            QCOMPARE(line.c_cflag & (PARENB | PARODD | CMSPAR), c.parity);
            QCOMPARE((line.c_cflag & CSTOPB) != 0, c.twoStops);
            QCOMPARE(notes.size(), c.notes);
            QVERIFY((line.c_cflag & (CREAD | CLOCAL)) == (CREAD | CLOCAL));
            QCOMPARE(line.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0)); // raw
        }
        termios hardware{};
        applyLineSettings(hardware, {9600, 8, Parity::None, StopBits::One, FlowControl::Hardware});
        QVERIFY(hardware.c_cflag & CRTSCTS);
        QCOMPARE(hardware.c_iflag & (IXON | IXOFF), tcflag_t(0));
        termios software{};
        applyLineSettings(software, {9600, 8, Parity::None, StopBits::One, FlowControl::XonXoff});
        QVERIFY((software.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF));
        QCOMPARE(software.c_cflag & CRTSCTS, tcflag_t(0));
        QCOMPARE(cfgetospeed(&software), speed_t(B9600));
    }

    void serialLineOpensExclusivelyWithItsSettings() {
        PtyLine pty;
        QVERIFY(!pty.path.empty());
        std::vector<std::string> notes;
        const LineSettings wanted{19200, 7, Parity::Mark, StopBits::Two, FlowControl::Hardware};
        auto port = openSerialLine(pty.path, wanted, notes);
        QVERIFY2(!failed(port), failed(port) ? failureOf(port).c_str() : "");
        const termios applied = pty.settings();
        QCOMPARE(cfgetospeed(&applied), speed_t(B19200));
        QCOMPARE(applied.c_cflag & (CSTOPB | CRTSCTS), tcflag_t(CSTOPB | CRTSCTS));
        // A pseudo-terminal keeps 8 data bits and no parity whatever it is asked: the user is told.
        QCOMPARE(applied.c_cflag & (CSIZE | PARENB), tcflag_t(CS8));
        QCOMPARE(notes.size(), size_t(1));
        QVERIFY2(notes.front().find("did not take 7 data bits, parity Mark;") != std::string::npos,
                 notes.front().c_str());

        // A second user of the port, root included, is turned away with a plain reason.
        auto second = openSerialLine(pty.path, wanted, notes);
        QVERIFY(failed(second));
        QVERIFY2(failureOf(second).find("busy") != std::string::npos, failureOf(second).c_str());
    }

    void serialFailuresSayWhatIsWrong() {
        std::vector<std::string> notes;
        const auto missing = openSerialLine("/dev/zeb-no-such-port", {}, notes);
        QVERIFY(failed(missing));
        QVERIFY(failureOf(missing).find("does not exist") != std::string::npos);
        const auto notSerial = openSerialLine("/dev/null", {}, notes);
        QVERIFY(failed(notSerial));
        QVERIFY(failureOf(notSerial).find("not a serial port") != std::string::npos);
    }
};

QTEST_GUILESS_MAIN(TestEngineHosts)
#include "test_engine_hosts.moc"
