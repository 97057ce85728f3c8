// zeb-reg in process over a private store, and the real program in a shell.
#include "Cp1252.h"
#include "ForwardingBackend.h"
#include "RegFile.h"
#include "RegistryProbe.h"
#include "ScratchStore.h"
#include "SqliteRegistry.h"
#include "TempFolder.h"
#include "WholeFile.h"
#include "ZebReg.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <set>
#include <sstream>
#include <sys/wait.h>

using namespace zeb::reg;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// `input` is what the user types, at a terminal when `interactive`.
Outcome zebReg(const std::vector<std::string>& args, const std::string& input = {},
               bool interactive = false) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    zeb::regtool::Console console{in, out, err, interactive};
    const int status = zeb::regtool::runZebReg(backend(), args, console);
    return {status, out.str(), err.str()};
}

// The built zeb-reg first on the PATH, `store` as its store, no input, at most 30 seconds.
Outcome inShell(const TempFolder& folder, const std::string& store, const std::string& command) {
    const std::string bin = fs::path(ZEB_REG_PROGRAM).parent_path();
    writeBytes(folder.file("run.sh"), "cd '" + folder.path().string() + "' || exit 99\nexport " +
                                          "ZEB_REGISTRY='" + store + "' PATH='" + bin +
                                          "':\"$PATH\"\n" + command + "\n");
    const std::string run = "timeout 30 bash '" + folder.file("run.sh") + "' </dev/null >'" +
                            folder.file("out") + "' 2>'" + folder.file("err") + "'";
    const int status = std::system(run.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(folder.file("out")),
            readBytes(folder.file("err"))};
}

void expectSuccess(const Outcome& outcome) {
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
}

// Exit status 1 and one error that says `fragment`.
void expectError(const Outcome& outcome, const std::string& fragment) {
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.starts_with("ERROR: ")) << outcome.err;
    EXPECT_NE(outcome.err.find(fragment), std::string::npos) << outcome.err;
}

void put(const std::string& path, const std::string& name, Dword type, const std::string& data) {
    ASSERT_EQ(probe::setBytes(backend(), probe::create(backend(), path), name, type, data), 0);
}

constexpr const char* HOSTS = "HKLM\\SOFTWARE\\Verdastone\\Kelm\\ZEB\\Hosts";
const std::string ZEB = "SOFTWARE\\Verdastone\\Kelm\\ZEB\\";

// The raw bytes of a value, "(missing)" without it, "(no key)" without its key.
std::string stored(const std::string& path, const std::string& name = "(key)") {
    Handle key = 0;
    unsigned char data[1024];
    Dword size = sizeof data;
    if (backend().openKey(HKEY_LOCAL_MACHINE, path, &key) != 0) {
        return "(no key)";
    }
    const bool found = backend().queryValue(key, name, nullptr, data, &size) == 0;
    backend().closeKey(key);
    return found ? std::string(reinterpret_cast<char*>(data), size) : "(missing)";
}

// The whole store, byte exact.
std::string snapshot(const TempFolder& folder) {
    EXPECT_EQ(zebReg({"export", "HKLM", folder.file("snapshot.reg"), "/y"}).status, 0);
    return readBytes(folder.file("snapshot.reg"));
}

// ZEB's settings, two host records and one value of each unusual shape.
void fillStore() {
    put(ZEB + "Settings", "DefaultTTY", REG_SZ, "AM75G\0"s);
    put(ZEB + "Settings", "EnableNR", REG_SZ, "Y\0"s);
    put(ZEB + "HostList", "alpha", REG_SZ, "1\0"s);
    put(ZEB + "HostList", "caf\xE9 \"q\" \\", REG_SZ, "1\0"s);
    put(ZEB + "Hosts\\alpha", "Address", REG_SZ, "10.0.0.1\0"s);
    put(ZEB + "Hosts\\caf\xE9 \"q\"", "Transport", REG_SZ, "SERIAL\0"s);
    put("SOFTWARE\\Shapes", "", REG_SZ, "default \x80\xFF\0"s);
    put("SOFTWARE\\Shapes", "dword", REG_DWORD, "\x2A\0\0\x80"s);
    put("SOFTWARE\\Shapes", "binary", REG_BINARY, std::string(300, '\xA5'));
    put("SOFTWARE\\Shapes", "multi", REG_MULTI_SZ, "one\0two\0\0"s);
    put("SOFTWARE\\Shapes", "no nul", REG_SZ, "abc"s);
    put("SOFTWARE\\Shapes", "odd type", 0x4000, "\x01"s);
    ASSERT_NE(probe::create(backend(), "SOFTWARE\\Shapes\\Empty"), 0u);
}

std::vector<std::string> pageRequest(const std::string& verb, const std::string& ask) {
    return verb.empty() ? std::vector<std::string>{ask} : std::vector<std::string>{verb, ask};
}

// The command lines under "Examples:", as a user would paste them into a shell.
std::vector<std::string> examplesOf(const std::string& page) {
    std::vector<std::string> examples;
    std::istringstream lines(page.substr(page.find("\nExamples:\n")));
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("  zeb-reg ")) {
            examples.push_back(line.substr(2));
        }
    }
    return examples;
}

const std::vector<std::string> VERBS = {"", "query", "add", "delete", "export", "import"};

} // namespace

TEST(ZebReg, AddsQueriesAndDeletes) {
    ScratchStore store;
    const auto alpha = HOSTS + "\\alpha"s;
    const std::string path = ZEB + "Hosts\\alpha";
    expectSuccess(zebReg({"add", alpha, "/v", "Address", "/d", "old"}));
    expectError(zebReg({"add", alpha, "/v", "ADDRESS", "/d", "new"}), "add /f");
    EXPECT_EQ(stored(path, "Address"), "old\0"s);
    expectSuccess(zebReg({"add", alpha, "/v", "Address", "/d", "10.0.0.1", "/f"}));
    expectSuccess(zebReg({"ADD", alpha, "-V", "Port", "/T", "reg_dword", "/d", "0x17"}));
    expectSuccess(zebReg({"add", alpha, "/ve", "/d", "caf\xC3\xA9"}));
    expectSuccess(zebReg({"add", alpha, "/v", "Max", "/t", "REG_DWORD", "/d", "4294967295"}));
    expectSuccess(zebReg({"add", "HKEY_LOCAL_MACHINE\\" + ZEB + "Hosts\\b", "/v", "Empty"}));
    EXPECT_EQ(stored(path, ""), "caf\xE9\0"s); // Windows-1252 in the store, UTF-8 outside
    EXPECT_EQ(stored(path, "Max"), "\xFF\xFF\xFF\xFF"s);
    EXPECT_EQ(stored(ZEB + "Hosts\\b", "Empty"), "\0"s);
    // Refused data leaves no value and no key; REG_DWORD needs /d, as the platform's reg says.
    for (const auto& data : {"4294967296", "-1", "12x", "0x", "", "0x1FFFFFFFF"}) {
        expectError(zebReg({"add", alpha + "\\new", "/v", "N", "/t", "REG_DWORD", "/d", data}),
                    "REG_DWORD");
    }
    expectError(zebReg({"add", alpha + "\\new", "/v", "N", "/t", "REG_DWORD", "/f"}), "needs /d");
    expectError(zebReg({"add", alpha + "\\new", "/v", "N", "/t", "REG_BINARY", "/d", "01"}),
                "REG_SZ or REG_DWORD");
    expectError(zebReg({"add", alpha + "\\new", "/v", "N", "/d", "\xE2\x98\x83"}), "Windows-1252");
    expectError(zebReg({"add", alpha + "\\new\xE2\x98\x83"}), "Windows-1252");
    EXPECT_EQ(stored(path + "\\new"), "(no key)");

    const std::string shown = "HKEY_LOCAL_MACHINE\\" + ZEB + "Hosts";
    EXPECT_EQ(zebReg({"query", HOSTS + "\\ALPHA"s, "/v", "port"}).out,
              shown + "\\ALPHA\n    port    REG_DWORD    0x17\n\n");
    put(ZEB + "Hosts\\b", "Empty", REG_BINARY, "\x01\xAB"s);
    put(ZEB + "Hosts\\b", "big", 5, "\0\0\0\x01"s);
    put(ZEB + "Hosts\\b", "multi", REG_MULTI_SZ, "x\0y\x1b[2J\0\0"s);
    // Control characters reach no terminal as such: an escape is shown as \x1b.
    put(ZEB + "Hosts\\b", "e\x1b]0;t\x07", REG_SZ, "\x90\x7f\x8d\x9d\0"s);
    const auto tree = zebReg({"query", HOSTS, "/s"});
    expectSuccess(tree);
    EXPECT_EQ(tree.out,
              shown + "\n\n" + shown +
                  "\\alpha\n    Address    REG_SZ    10.0.0.1\n"
                  "    Port    REG_DWORD    0x17\n    (Default)    REG_SZ    caf\xC3\xA9\n"
                  "    Max    REG_DWORD    0xffffffff\n\n" +
                  shown +
                  "\\b\n    Empty    REG_BINARY    01AB\n"
                  "    big    REG_DWORD_BIG_ENDIAN    00000001\n"
                  "    multi    REG_MULTI_SZ    x\\0y\\x1b[2J\n"
                  "    e\\x1b]0;t\\x07    REG_SZ    \\x90\\x7f\\x8d\\x9d\n\n");
    EXPECT_EQ(zebReg({"query", HOSTS, "/s", "/v", "Port"}).out,
              shown + "\\alpha\n    Port    REG_DWORD    0x17\n\n");
    expectError(zebReg({"query", HOSTS, "/s", "/v", "Nowhere"}), "'Nowhere' was not found");
    expectError(zebReg({"query", HOSTS + "\\b"s, "/ve"}), "'(Default)' was not found");

    // Nobody can confirm from a pipe; at a terminal anything but yes (or end of input) is no.
    expectError(zebReg({"delete", alpha, "/v", "Port"}), "/f");
    EXPECT_NE(zebReg({"delete", alpha, "/va"}, "no\n", true).out.find("(Yes/No)?"),
              std::string::npos);
    EXPECT_EQ(zebReg({"delete", HOSTS}, "", true).status, 0);
    EXPECT_EQ(stored(path, "Port"), "\x17\0\0\0"s);
    expectSuccess(zebReg({"delete", alpha, "/v", "Port"}, "Yes\n", true));
    EXPECT_EQ(stored(path, "Port"), "(missing)");
    expectSuccess(zebReg({"delete", alpha, "/ve", "/f"}));
    EXPECT_EQ(stored(path, ""), "(missing)");
    expectSuccess(zebReg({"delete", alpha, "/va", "/f"}));
    EXPECT_EQ(zebReg({"query", alpha}).out, shown + "\\alpha\n\n");
    expectError(zebReg({"delete", alpha, "/v", "Port", "/f"}), "was not found");
    expectSuccess(zebReg({"delete", HOSTS, "/f"})); // with everything below it
    EXPECT_EQ(stored(ZEB + "Hosts\\b"), "(no key)");
    EXPECT_EQ(stored(ZEB), "(missing)");
}

// A refusal is one error and no output; a syntax error adds a reminder of its verb's page (of the
// overview without a known verb). An import is one transaction: a fault, even one only the store
// finds, imports nothing. Help right after the verb wins over everything that follows.
TEST(ZebReg, HelpAndRefusalsLeaveTheStoreAndFilesAlone) {
    ScratchStore store;
    TempFolder folder;
    fillStore();
    const auto before = snapshot(folder);
    const auto precious = folder.file("precious.reg");
    writeBytes(precious, "precious");
    const std::string changes = "REGEDIT4\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Verdastone]\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shapes]\r\n\"dword\"=-\r\n"
                                "\"new\"=\"value\"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Added]\r\n";
    writeBytes(folder.file("bad.reg"), changes + "\"bad\"=hex:0,1,xyz\r\n");
    writeBytes(folder.file("map.reg"),
               changes + "[HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n\"C\"=\"x\"\r\n");
    writeBytes(folder.file("note.reg"), "a note, not a registry file\n");
    writeBytes(folder.file("big.reg"), "REGEDIT4\r\n");
    fs::resize_file(folder.file("big.reg"), 100'000'000); // sparse: refused before it is read
    const struct {
        std::vector<std::string> args;
        std::string fragment;
        const char* page; // named by the reminder: a verb, "" the overview, null no reminder
    } cases[] = {
        {{}, "no operation", ""},
        {{"copy", "HKLM\\A", "HKLM\\B"}, "unknown operation 'copy'", ""},
        {{"query", "HKLM\\SOFTWARE", "/x"}, "unknown switch '/x'", "query"},
        {{"add", "HKLM\\SOFTWARE\\Shapes", "/v"}, "needs a value", "add"},
        {{"add", "HKLM\\SOFTWARE\\Shapes", "/v", "a", "/v", "b"}, "given twice", "add"},
        {{"delete", "HKLM\\SOFTWARE\\Shapes", "/v", "dword", "/va", "/f"}, "exclude", "delete"},
        {{"Export", "HKLM\\SOFTWARE"}, "export needs KEY and FILE", "export"},
        {{"query", "HKLM\\SOFTWARE", "HKLM\\B"}, "nothing more", "query"},
        {{"query", "HKCU\\Software"}, "not below HKEY_LOCAL_MACHINE", nullptr},
        {{"delete", "HKLM", "/f"}, "cannot be deleted", nullptr},
        {{"query", "HKLM\\SOFTWARE\\Missing"}, "was not found", nullptr},
        {{"query", "HKLM\\SOFTWARE\\Shapes", "/v", "-h"}, "'-h' was not found", nullptr},
        {{"export", "HKLM\\SOFTWARE", precious}, "add /y", nullptr},
        {{"export", "HKLM", folder.file("no/such/folder.reg")}, "cannot be written", nullptr},
        {{"import", folder.file("bad.reg")},
         "line 7: a hex byte must be hexadecimal digits, not 'x'; nothing was imported",
         nullptr},
        {{"import", folder.file("map.reg")},
         "line 7: the key 'HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM', value 'C': access "
         "is denied",
         nullptr},
        {{"import", folder.file("missing.reg")}, "does not exist", nullptr},
        {{"import", folder.path().string()}, "is a folder", nullptr},
        {{"import", folder.file("note.reg")}, "not a registry file", nullptr},
        {{"import", folder.file("big.reg")}, "larger than 64 MiB", nullptr},
    };
    for (const auto& c : cases) {
        const auto outcome = zebReg(c.args);
        expectError(outcome, c.fragment);
        EXPECT_EQ(outcome.out, "");
        const std::string reminder =
            c.page == nullptr
                ? "Usage:"
                : "Type \"zeb-reg " + (*c.page ? c.page + " "s : "") + "/?\" for help.";
        EXPECT_EQ(outcome.err.find(reminder) != std::string::npos, c.page != nullptr)
            << outcome.err;
    }
    std::set<std::string> pages;
    for (const auto& verb : VERBS) {
        const auto page = zebReg(pageRequest(verb, "/?"));
        expectSuccess(page);
        EXPECT_TRUE(page.out.starts_with(verb.empty() ? "zeb-reg OPERATION" : "zeb-reg " + verb));
        for (const auto& ask : {"-h", "--HELP", "-?"}) {
            EXPECT_EQ(zebReg(pageRequest(verb, ask)).out, page.out) << verb << ' ' << ask;
        }
        pages.insert(page.out);
    }
    EXPECT_EQ(pages.size(), VERBS.size()) << "a verb shows another's page";
    EXPECT_EQ(zebReg({"delete", "--help", "HKLM\\SOFTWARE\\Shapes", "/f"}).status, 0);
    EXPECT_EQ(snapshot(folder), before);
    EXPECT_EQ(readBytes(precious), "precious");
    ScratchStore readOnly({true});
    expectError(zebReg({"import", WINE_EXPORT}), "access is denied");
    expectError(zebReg({"add", "HKLM\\SOFTWARE\\A"}), "access is denied");
}

// Every name the store takes (brackets, "] ;", quotes, '=', '@', any Windows-1252 byte but the
// backslash) comes back byte for byte as a key name and a value name, or the export refuses it,
// naming its key (a key name with a control character).
TEST(ZebReg, EveryNameTheStoreTakesSurvivesExportAndImport) {
    std::mt19937 random(11);
    const std::vector<std::string> pieces = {"[", "]", "] ;", ";", "\"", "=", "@", "#", "-", " "};
    const auto randomName = [&] {
        std::string name;
        for (auto length = 1 + random() % 6; length > 0; --length) {
            const auto byte = static_cast<char>(1 + random() % 255);
            name += random() % 2 ? pieces[random() % pieces.size()] : std::string(1, byte);
        }
        std::erase(name, '\\');
        return name;
    };
    TempFolder folder;
    const auto file = folder.file("names.reg");
    std::set<std::string> folded;
    std::vector<std::string> listed; // every name the store took, as a value name
    std::vector<std::string> names;  // those that are key names the export must carry too
    {
        ScratchStore store;
        fillStore();
        while (folded.size() < 300) {
            const auto name = randomName();
            const auto path = ZEB + "Hosts\\" + name;
            Handle key = 0;
            if (name.empty() || !folded.insert(foldCp1252(name)).second ||
                backend().createKey(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != 0) {
                continue;
            }
            put(ZEB + "HostList", name, REG_SZ, "1\0"s);
            listed.push_back(name);
            const auto full = "HKLM\\" + fromCp1252(path);
            if (std::any_of(name.begin(), name.end(), [](unsigned char c) { return c < 0x20; })) {
                expectError(zebReg({"export", full, file, "/y"}),
                            zeb::regfile::shownKeyPath(path) + "' has a control character");
                expectSuccess(zebReg({"delete", full, "/f"}));
                continue;
            }
            put(path, name, REG_SZ, name + '\0');
            names.push_back(name);
        }
        ASSERT_GT(names.size(), 200u);
        expectSuccess(zebReg({"export", "HKLM", file}));
        EXPECT_EQ(readBytes(file).find("HARDWARE"), std::string::npos) << "computed, not stored";
        expectSuccess(zebReg({"export", HOSTS, folder.file("hosts.reg")}));
        EXPECT_TRUE(readBytes(folder.file("hosts.reg"))
                        .starts_with("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + ZEB + "Hosts]\r\n"));
    }
    ScratchStore store;
    expectSuccess(zebReg({"import", file}));
    for (const auto& name : names) {
        EXPECT_EQ(stored(ZEB + "Hosts\\" + name, name), name + '\0') << name;
    }
    for (const auto& name : listed) {
        EXPECT_EQ(stored(ZEB + "HostList", name), "1\0"s) << name;
    }
    EXPECT_EQ(snapshot(folder), readBytes(file)); // the shapes and the empty key too
}

// No key name with a control character; the store's mode whatever the umask; /y's check made again
// at the last step; no temporary file left behind.
TEST(ZebReg, ExportNeverSpoilsAnExistingFile) {
    ScratchStore store;
    TempFolder folder;
    fillStore();
    const auto file = folder.file("out.reg");
    writeBytes(file, "precious");
    put("SOFTWARE\\Broken\\line\nbreak", "", REG_SZ, "\0"s);
    expectError(zebReg({"export", "HKLM\\SOFTWARE\\Broken", file, "/y"}),
                "line\\x0abreak' has a control character");
    EXPECT_EQ(readBytes(file), "precious");
    const std::string empty =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shapes\\Empty]\r\n\r\n";
    expectSuccess(zebReg({"export", "HKLM\\SOFTWARE\\Shapes\\Empty", file, "-Y"}));
    EXPECT_EQ(readBytes(file), empty);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    const auto late = zeb::files::writeFileWhole(file, "late", false);
    EXPECT_TRUE(!zeb::failed(late) &&
                std::get<zeb::files::WriteResult>(late) == zeb::files::WriteResult::TargetExists);
    EXPECT_EQ(readBytes(file), empty);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 1);
}

TEST(ZebReg, ImportAppliesEveryKindOfLine) {
    ScratchStore store;
    TempFolder folder;
    fillStore();
    const auto file = folder.file("in.reg");
    writeBytes(file, "REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\" + ZEB +
                         "Hosts]\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Never\\There]\r\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shapes]\r\n\"dword\"=-\r\n\"never\"=-\r\n"
                         "@=\"\x80 uro\"\r\n\"expand\"=hex(2):25,50,00\r\n\r\n"
                         "[HKLM\\" +
                         ZEB + "Hosts\\gamma]\r\n\"Transport\"=\"TELNET\"\r\n");
    expectSuccess(zebReg({"import", file}));
    EXPECT_EQ(stored(ZEB + "Hosts\\alpha"), "(no key)");
    EXPECT_EQ(stored(ZEB + "Hosts\\gamma", "Transport"), "TELNET\0"s);
    EXPECT_EQ(stored("SOFTWARE\\Shapes", "dword"), "(missing)");
    EXPECT_EQ(stored("SOFTWARE\\Shapes", ""), "\x80 uro\0"s);
    EXPECT_EQ(stored("SOFTWARE\\Shapes", "expand"), "%P\0"s);
    EXPECT_EQ(stored("SOFTWARE\\Shapes", "binary"), std::string(300, '\xA5')) << "untouched";
    EXPECT_EQ(stored("SOFTWARE\\Never"), "(no key)");

    // Written by Wine's reg export: Version 5.00 in UTF-16LE, string hex as UTF-16.
    expectSuccess(zebReg({"import", WINE_EXPORT}));
    const std::string lab = "Software\\Probe\\Hosts\\lab] ;old";
    EXPECT_EQ(stored(lab, ""), "caf\xE9 \x80\0"s);
    EXPECT_EQ(stored(lab, "Expand"), "%PATH%\0"s);
    EXPECT_EQ(stored(lab, "Multi"), "one\0two\0\0"s);
    EXPECT_EQ(stored(lab, "Q"), "\x01\x02\x03\x04\x05\x06\x07\x08"s);
    EXPECT_EQ(stored(lab, "quote\"back\\"), "a\\b\"c\0"s);
    EXPECT_EQ(stored("Software\\Probe\\Empty"), "(missing)");
}

// Help without opening the store, the exit status and error stream, and every example on every
// page pasted into a shell; the export example writes the file the import example reads.
TEST(ZebRegProgram, RunsEveryExampleAndExitsWithOneAndAnError) {
    TempFolder folder;
    const auto run = [&](const std::string& arguments) {
        return inShell(folder, folder.file("registry.db"), "zeb-reg " + arguments);
    };
    const Outcome help = run("import --help");
    expectSuccess(help);
    EXPECT_TRUE(help.out.starts_with("zeb-reg import FILE\n")) << help.out;
    EXPECT_FALSE(fs::exists(folder.file("registry.db"))) << "help made a store";
    const auto unknown = run("frob");
    expectError(unknown, "unknown operation");
    EXPECT_EQ(unknown.out, "");
    expectError(run("delete 'HKLM\\HARDWARE'"), "needs /f");
    for (const auto& verb : VERBS) {
        const auto store = folder.file(verb + "registry.db");
        std::string page;
        {
            BackendScope<SqliteRegistry> filling(store); // closed before the examples run
            if (verb != "import") {
                fillStore();
            }
            page = zebReg(pageRequest(verb, "/?")).out;
        }
        EXPECT_FALSE(examplesOf(page).empty()) << verb;
        for (const auto& example : examplesOf(page)) {
            const Outcome outcome = inShell(folder, store, example);
            EXPECT_EQ(outcome.status, 0) << example << '\n' << outcome.out << outcome.err;
        }
    }
    BackendScope<SqliteRegistry> imported(folder.file("importregistry.db"));
    EXPECT_EQ(stored(ZEB + "Hosts\\alpha", "Address"), "10.0.0.1\0"s);
}

// A store another program made deeper than the platform allows is queried, exported and deleted
// whole on a stack as small as a thread's: no walk takes a call per level.
TEST(ZebRegProgram, WalksATreeDeeperThanItsStackWithoutRecursion) {
    TempFolder folder;
    const auto store = folder.file("registry.db");
    {
        SqliteRegistry reg(store);
        ASSERT_NE(probe::create(reg, "SOFTWARE\\Deep"), 0u);
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "WITH RECURSIVE chain(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM chain "
                           "WHERE n < 1000) INSERT INTO keys(id, parent, name, fold) SELECT "
                           "1000000 + n, CASE n WHEN 1 THEN (SELECT id FROM keys WHERE name = "
                           "x'44656570') ELSE 999999 + n END, x'64', x'44' FROM chain",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const Outcome outcome =
        inShell(folder, store,
                "ulimit -s 128 && zeb-reg query 'HKLM\\SOFTWARE\\Deep' /s | grep -c 'd$' && "
                "zeb-reg export 'HKLM\\SOFTWARE\\Deep' deep.reg && "
                "zeb-reg delete 'HKLM\\SOFTWARE\\Deep' /f && zeb-reg query 'HKLM\\SOFTWARE'");
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(outcome.out.starts_with("1000\n")) << outcome.out.substr(0, 200);
    EXPECT_EQ(outcome.out.find("Deep", 1), std::string::npos);
    std::string deepest = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Deep";
    for (int level = 0; level < 1000; ++level) {
        deepest += "\\d";
    }
    EXPECT_NE(readBytes(folder.file("deep.reg")).find(deepest + "]"), std::string::npos);
}
