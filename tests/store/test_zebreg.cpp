// zeb-reg over a private in-memory store: each verb's output and changes, every refusal leaving the
// store as it was, .reg round trips, its help pages, and the real program's exit codes, error
// stream and the examples its pages print.
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

#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>
#include <sys/wait.h>

using namespace zeb::reg;
using namespace std::string_literals;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// zeb-reg's entry point on the process-wide store; `input` is what its user types, at a terminal
// when `interactive`.
Outcome zebReg(const std::vector<std::string>& args, const std::string& input = {},
               bool interactive = false) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    zeb::regtool::Console console{in, out, err, interactive};
    const int status = zeb::regtool::runZebReg(backend(), args, console);
    return {status, out.str(), err.str()};
}

// Runs `commandLine` with bash in `folder`, no input, the built zeb-reg first on the PATH and
// `store` as its store; stopped after 30 seconds.
Outcome inShell(const TempFolder& folder, const std::string& store,
                const std::string& commandLine) {
    const std::string programFolder = std::filesystem::path(ZEB_REG_PROGRAM).parent_path();
    writeBytes(folder.file("command.sh"), "cd '" + folder.path().string() + "' || exit 99\n" +
                                              "export ZEB_REGISTRY='" + store + "'\n" +
                                              "export PATH='" + programFolder + "':\"$PATH\"\n" +
                                              commandLine + "\n");
    const std::string run = "timeout 30 bash '" + folder.file("command.sh") + "' </dev/null >'" +
                            folder.file("out.txt") + "' 2>'" + folder.file("err.txt") + "'";
    const int status = std::system(run.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(folder.file("out.txt")),
            readBytes(folder.file("err.txt"))};
}

void expectSuccess(const Outcome& outcome) {
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
}

// Exit status 1 and one error on the error stream that says `fragment`.
void expectError(const Outcome& outcome, const std::string& fragment) {
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.starts_with("ERROR: ")) << outcome.err;
    EXPECT_NE(outcome.err.find(fragment), std::string::npos) << outcome.err;
}

// Writes a value straight into the process-wide store (key path below HKEY_LOCAL_MACHINE).
void put(const std::string& path, const std::string& name, Dword type, const std::string& data) {
    const auto key = probe::create(backend(), path);
    ASSERT_EQ(probe::setBytes(backend(), key, name, type, data), 0) << path;
    backend().closeKey(key);
}

constexpr const char* HOSTS = "HKLM\\SOFTWARE\\Verdastone\\Kelm\\ZEB\\Hosts";
const std::string ZEB = "SOFTWARE\\Verdastone\\Kelm\\ZEB\\";

// The raw bytes of a value, or "(missing)".
std::string stored(const std::string& path, const std::string& name) {
    Handle key = 0;
    unsigned char data[1024];
    Dword size = sizeof data;
    const bool found = backend().openKey(HKEY_LOCAL_MACHINE, path, &key) == 0 &&
                       backend().queryValue(key, name, nullptr, data, &size) == 0;
    backend().closeKey(key);
    return found ? std::string(reinterpret_cast<char*>(data), size) : "(missing)";
}

bool keyExists(const std::string& path) {
    Handle key = 0;
    const bool exists = backend().openKey(HKEY_LOCAL_MACHINE, path, &key) == 0;
    backend().closeKey(key);
    return exists;
}

// The whole store as zeb-reg exports it: the byte-exact picture of what it holds.
std::string snapshot(const TempFolder& folder) {
    const auto file = folder.file("snapshot.reg");
    EXPECT_EQ(zebReg({"export", "HKLM", file, "/y"}).status, 0);
    return readBytes(file);
}

// ZEB's settings, two host records and one value of each unusual shape.
void fillStore() {
    put(ZEB + "Settings", "DefaultTTY", REG_SZ, "AM75G\0"s);
    put(ZEB + "Settings", "EnableNR", REG_SZ, "Y\0"s);
    put(ZEB + "HostList", "alpha", REG_SZ, "1\0"s);
    put(ZEB + "HostList", "caf\xE9 \"q\" \\", REG_SZ, "1\0"s);
    put(ZEB + "Hosts\\alpha", "Transport", REG_SZ, "TELNET\0"s);
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

// The arguments that ask for a verb's page ("" for the overview) with the help word `ask`.
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

TEST(ZebReg, AddsAndQueriesValuesAsThePlatformShowsThem) {
    ScratchStore store;
    expectSuccess(zebReg({"add", HOSTS + "\\alpha"s, "/v", "Address", "/d", "10.0.0.1"}));
    expectSuccess(zebReg({"ADD", HOSTS + "\\alpha"s, "-V", "Port", "/T", "reg_dword", "/d", "23"}));
    expectSuccess(zebReg({"add", HOSTS + "\\alpha"s, "/ve", "/d", "caf\xC3\xA9"}));
    expectSuccess(zebReg({"add", "HKEY_LOCAL_MACHINE\\" + ZEB + "Hosts\\b"}));
    // The store holds Windows-1252 text with its NUL; the output is UTF-8.
    EXPECT_EQ(stored(ZEB + "Hosts\\alpha", ""), "caf\xE9\0"s);
    EXPECT_EQ(stored(ZEB + "Hosts\\alpha", "Port"), "\x17\0\0\0"s);

    const std::string shown = "HKEY_LOCAL_MACHINE\\" + ZEB + "Hosts";
    EXPECT_EQ(zebReg({"query", HOSTS + "\\ALPHA"s, "/v", "port"}).out,
              shown + "\\ALPHA\n    port    REG_DWORD    0x17\n\n");
    EXPECT_EQ(zebReg({"query", HOSTS}).out, shown + "\n\n" + shown + "\\alpha\n" + shown + "\\b\n");

    put(ZEB + "Hosts\\b", "raw", REG_BINARY, "\x01\xAB"s);
    put(ZEB + "Hosts\\b", "multi", REG_MULTI_SZ, "x\0y\x1b[2J\0\0"s);
    // Control characters reach no terminal as such: an escape is shown as \x1b.
    put(ZEB + "Hosts\\b", "e\x1b]0;t\x07", REG_SZ, "\x90\x7f\x9d\0"s);
    const auto tree = zebReg({"query", HOSTS, "/s"});
    expectSuccess(tree);
    EXPECT_EQ(tree.out, shown + "\n\n" + shown +
                            "\\alpha\n"
                            "    Address    REG_SZ    10.0.0.1\n"
                            "    Port    REG_DWORD    0x17\n"
                            "    (Default)    REG_SZ    caf\xC3\xA9\n\n" +
                            shown +
                            "\\b\n"
                            "    raw    REG_BINARY    01AB\n"
                            "    multi    REG_MULTI_SZ    x\\0y\\x1b[2J\n"
                            "    e\\x1b]0;t\\x07    REG_SZ    \\x90\\x7f\\x9d\n\n");
    EXPECT_EQ(zebReg({"query", HOSTS, "/s", "/v", "Port"}).out,
              shown + "\\alpha\n    Port    REG_DWORD    0x17\n\n");

    expectError(zebReg({"query", HOSTS, "/s", "/v", "Nowhere"}), "'Nowhere' was not found");
    expectError(zebReg({"query", HOSTS + "\\b"s, "/ve"}), "'(Default)' was not found");
}

TEST(ZebReg, AddRefusesToReplaceAValueWithoutF) {
    ScratchStore store;
    const auto key = HOSTS + "\\alpha"s;
    const std::string path = ZEB + "Hosts\\alpha";
    expectSuccess(zebReg({"add", key, "/v", "Address", "/d", "old"}));
    expectError(zebReg({"add", key, "/v", "ADDRESS", "/d", "new"}), "add /f");
    EXPECT_EQ(stored(path, "Address"), "old\0"s);
    expectSuccess(zebReg({"add", key, "/v", "Address", "/d", "new", "/f"}));
    EXPECT_EQ(stored(path, "Address"), "new\0"s);

    expectSuccess(zebReg({"add", key, "/v", "Max", "/t", "REG_DWORD", "/d", "0xFFFFFFFF"}));
    EXPECT_EQ(stored(path, "Max"), "\xFF\xFF\xFF\xFF"s);
    expectSuccess(zebReg({"add", key, "/v", "Empty"}));
    EXPECT_EQ(stored(path, "Empty"), "\0"s);

    // Refused data leaves nothing behind: no value and no key.
    for (const auto& data : {"4294967296", "-1", "12x", "0x", "", "0x1FFFFFFFF"}) {
        expectError(zebReg({"add", key + "\\new", "/v", "N", "/t", "REG_DWORD", "/d", data}),
                    "REG_DWORD");
    }
    expectError(zebReg({"add", key + "\\new", "/v", "N", "/t", "REG_DWORD", "/f"}), "needs /d");
    expectError(zebReg({"add", key + "\\new", "/v", "N", "/t", "REG_BINARY", "/d", "01"}),
                "REG_SZ or REG_DWORD");
    expectError(zebReg({"add", key + "\\new", "/v", "N", "/d", "snow \xE2\x98\x83"}),
                "Windows-1252");
    expectError(zebReg({"add", key + "\\new\xE2\x98\x83"}), "Windows-1252");
    EXPECT_FALSE(keyExists(path + "\\new"));
}

// Help and refusals leave the store unchanged. Every verb has its own page with examples, however
// help is asked for, and help right after the verb wins over everything that follows. A refusal is
// one error with nothing on standard output; a syntax error adds a reminder of its verb's page (of
// the overview when there is no known verb), any other mistake none.
TEST(ZebReg, HelpAndRefusalsLeaveTheStoreAlone) {
    ScratchStore store;
    TempFolder folder;
    fillStore();
    const auto before = snapshot(folder);
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
        // A help word after the key is no request for help: here it names a value.
        {{"query", "HKLM\\SOFTWARE\\Shapes", "/v", "-h"}, "'-h' was not found", nullptr},
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
    EXPECT_NE(zebReg({"query", "/x"}).err.find("\nUsage: zeb-reg query KEY [/v NAME | /ve] [/s]\n"),
              std::string::npos);

    std::set<std::string> pages;
    for (const auto& verb : VERBS) {
        const auto page = zebReg(pageRequest(verb, "/?"));
        expectSuccess(page);
        EXPECT_TRUE(page.out.starts_with(verb.empty() ? "zeb-reg OPERATION" : "zeb-reg " + verb))
            << page.out;
        EXPECT_FALSE(examplesOf(page.out).empty()) << verb;
        for (const auto& ask : {"-h", "--HELP", "-?"}) {
            EXPECT_EQ(zebReg(pageRequest(verb, ask)).out, page.out) << verb << ' ' << ask;
        }
        pages.insert(page.out);
    }
    EXPECT_EQ(pages.size(), VERBS.size()) << "a verb shows another's page";
    EXPECT_EQ(zebReg({"delete", "--help", "HKLM\\SOFTWARE\\Shapes", "/f"}).status, 0);
    EXPECT_EQ(snapshot(folder), before);
}

TEST(ZebReg, DeletesValuesAndKeysOnlyWhenConfirmed) {
    ScratchStore store;
    TempFolder folder;
    fillStore();
    const std::string shapes = "SOFTWARE\\Shapes";
    const auto before = snapshot(folder);

    // Nobody can confirm from a pipe: /f is needed.
    expectError(zebReg({"delete", "HKLM\\" + shapes, "/v", "dword"}), "/f");
    // A terminal user who does not say yes keeps everything.
    const auto declined = zebReg({"delete", "HKLM\\" + shapes, "/va"}, "no\n", true);
    EXPECT_EQ(declined.status, 0);
    EXPECT_NE(declined.out.find("(Yes/No)?"), std::string::npos);
    EXPECT_EQ(zebReg({"delete", "HKLM\\SOFTWARE"}, "", true).status, 0) << "end of input is no";
    EXPECT_EQ(snapshot(folder), before);

    expectSuccess(zebReg({"delete", "HKLM\\" + shapes, "/v", "dword"}, "Yes\n", true));
    EXPECT_EQ(stored(shapes, "dword"), "(missing)");
    expectSuccess(zebReg({"delete", "HKLM\\" + shapes, "/ve", "/f"}));
    EXPECT_EQ(stored(shapes, ""), "(missing)");
    expectSuccess(zebReg({"delete", "HKLM\\" + shapes, "/va", "/f"}));
    EXPECT_EQ(
        zebReg({"query", "HKLM\\" + shapes}).out,
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Shapes\n\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Shapes\\Empty\n");
    expectError(zebReg({"delete", "HKLM\\" + shapes, "/v", "dword", "/f"}), "was not found");

    // A key goes with everything below it.
    expectSuccess(zebReg({"delete", "HKLM\\SOFTWARE\\Verdastone", "/f"}));
    EXPECT_FALSE(keyExists("SOFTWARE\\Verdastone"));
    EXPECT_TRUE(keyExists(shapes));
}

TEST(ZebReg, ExportThenImportIntoAnEmptyStoreGivesTheSameBytes) {
    TempFolder folder;
    const auto first = folder.file("first.reg");
    const auto hosts = folder.file("hosts.reg");
    {
        ScratchStore store;
        fillStore();
        expectSuccess(zebReg({"export", "HKLM", first}));
        expectSuccess(zebReg({"export", HOSTS, hosts}));
    }
    ScratchStore store;
    expectSuccess(zebReg({"import", first}));
    EXPECT_EQ(snapshot(folder), readBytes(first)); // the text without NUL and the empty key too

    const auto text = readBytes(first);
    EXPECT_TRUE(text.starts_with("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n"));
    EXPECT_EQ(text.find("HARDWARE"), std::string::npos)
        << "the computed device map is no part of an export of the store";
    // A part of the store exports alone, its key first.
    EXPECT_TRUE(readBytes(hosts).starts_with("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + ZEB +
                                             "Hosts]\r\n\r\n"));
}

// Names as the .reg format must carry them: brackets (a key named "lab] ;old"), semicolons,
// quotes, '=', '@', '#', blanks and any Windows-1252 byte but the backslash. Each name the store
// takes comes back from an export and an import byte for byte, as a value name in HostList and as
// a key with a value of its name and its text, or the export refuses it, naming its key (a key
// name with a control character).
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
    const auto hasControl = [](const std::string& name) {
        return std::any_of(name.begin(), name.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    };
    TempFolder folder;
    const auto file = folder.file("names.reg");
    std::set<std::string> folded;
    std::vector<std::string> listed; // every name the store took, as a value name
    std::vector<std::string> names;  // those that are key names the export must carry too
    {
        ScratchStore store;
        while (folded.size() < 300) {
            const auto name = randomName();
            const auto path = ZEB + "Hosts\\" + name;
            Handle key = 0;
            if (name.empty() || !folded.insert(zeb::reg::foldCp1252(name)).second ||
                backend().createKey(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != 0) {
                continue;
            }
            backend().closeKey(key);
            put(ZEB + "HostList", name, REG_SZ, "1\0"s); // any value name is written
            listed.push_back(name);
            const auto full = "HKLM\\" + zeb::reg::fromCp1252(path);
            if (hasControl(name)) {
                expectError(zebReg({"export", full, file, "/y"}),
                            zeb::regfile::shownKeyPath(path) + "' has a control character");
                expectSuccess(zebReg({"delete", full, "/f"}));
                continue;
            }
            put(path, name, REG_SZ, name + '\0');
            names.push_back(name);
        }
        ASSERT_GT(names.size(), 200u);
        expectSuccess(zebReg({"export", "HKLM\\SOFTWARE", file}));
    }
    ScratchStore store;
    expectSuccess(zebReg({"import", file}));
    for (const auto& name : names) {
        EXPECT_EQ(stored(ZEB + "Hosts\\" + name, name), name + '\0') << name;
    }
    for (const auto& name : listed) {
        EXPECT_EQ(stored(ZEB + "HostList", name), "1\0"s) << name;
    }
    const auto again = folder.file("again.reg");
    expectSuccess(zebReg({"export", "HKLM\\SOFTWARE", again}));
    EXPECT_EQ(readBytes(again), readBytes(file));
}

TEST(ZebReg, ExportNeverSpoilsAnExistingFile) {
    ScratchStore store;
    TempFolder folder;
    fillStore();
    const auto file = folder.file("out.reg");
    writeBytes(file, "precious");
    expectError(zebReg({"export", "HKLM\\SOFTWARE", file}), "add /y");
    expectError(zebReg({"export", "HKLM\\SOFTWARE", folder.file("no/such/folder.reg")}),
                "cannot be written");
    // No .reg key line can hold a name with a line break.
    put("SOFTWARE\\Broken\\line\nbreak", "", REG_SZ, "\0"s);
    expectError(zebReg({"export", "HKLM\\SOFTWARE\\Broken", file, "/y"}),
                "line\\x0abreak' has a control character");
    EXPECT_EQ(readBytes(file), "precious");
    expectSuccess(zebReg({"export", "HKLM\\SOFTWARE\\Shapes\\Empty", file, "-Y"}));
    EXPECT_EQ(readBytes(file),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shapes\\Empty]\r\n\r\n");
    // The store's mode, whatever the umask and the replaced file's mode; and a file that appears
    // after the check up front is refused at the last step all the same.
    namespace fs = std::filesystem;
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    const auto late = zeb::files::writeFileWhole(file, "late", false);
    EXPECT_TRUE(!zeb::failed(late) &&
                std::get<zeb::files::WriteResult>(late) == zeb::files::WriteResult::TargetExists);
    EXPECT_EQ(readBytes(file),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shapes\\Empty]\r\n\r\n");
    // Only the file itself is there: no temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(ZebReg, ImportAppliesEveryKindOfLine) {
    ScratchStore store;
    TempFolder folder;
    fillStore();
    const auto file = folder.file("in.reg");
    writeBytes(file, "REGEDIT4\r\n\r\n"
                     "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Verdastone\\Kelm\\ZEB\\Hosts]\r\n\r\n"
                     "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Never\\There]\r\n\r\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shapes]\r\n"
                     "\"dword\"=-\r\n\"never there\"=-\r\n@=\"\x80 uro\"\r\n"
                     "\"expand\"=hex(2):25,50,00\r\n\r\n"
                     "[HKLM\\SOFTWARE\\Verdastone\\Kelm\\ZEB\\Hosts\\gamma]\r\n"
                     "\"Transport\"=\"TELNET\"\r\n");
    expectSuccess(zebReg({"import", file}));
    EXPECT_FALSE(keyExists(ZEB + "Hosts\\alpha"));
    EXPECT_EQ(stored(ZEB + "Hosts\\gamma", "Transport"), "TELNET\0"s);
    EXPECT_EQ(stored("SOFTWARE\\Shapes", "dword"), "(missing)");
    EXPECT_EQ(stored("SOFTWARE\\Shapes", ""), "\x80 uro\0"s);
    EXPECT_EQ(stored("SOFTWARE\\Shapes", "expand"), "%P\0"s);
    EXPECT_EQ(stored("SOFTWARE\\Shapes", "binary"), std::string(300, '\xA5')) << "untouched";
    EXPECT_FALSE(keyExists("SOFTWARE\\Never"));

    // A file the platform's own export wrote: Version 5.00 in UTF-16LE, string hex as UTF-16.
    expectSuccess(zebReg({"import", WINE_EXPORT}));
    const std::string lab = "Software\\Probe\\Hosts\\lab] ;old";
    EXPECT_EQ(stored(lab, ""), "caf\xE9 \x80\0"s);
    EXPECT_EQ(stored(lab, "Expand"), "%PATH%\0"s);
    EXPECT_EQ(stored(lab, "Multi"), "one\0two\0\0"s);
    EXPECT_EQ(stored(lab, "Q"), "\x01\x02\x03\x04\x05\x06\x07\x08"s);
    EXPECT_EQ(stored(lab, "quote\"back\\"), "a\\b\"c\0"s);
    EXPECT_TRUE(keyExists("Software\\Probe\\Empty"));
}

TEST(ZebReg, AFaultyImportOrNoRegFileChangesNothing) {
    ScratchStore store;
    TempFolder folder;
    fillStore();
    const auto before = snapshot(folder);
    const auto file = folder.file("in.reg");
    const std::string changes = "REGEDIT4\r\n"
                                "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Verdastone]\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shapes]\r\n"
                                "\"dword\"=-\r\n"
                                "\"new\"=\"value\"\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Added]\r\n";
    const struct {
        std::string lastLines;
        std::string fragment;
    } cases[] = {
        {"\"bad\"=hex:0,1,xyz\r\n", "line 7: "},
        // Well formed, but the device map cannot be written: the store rolls everything back.
        {"[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n\"COM9\"=\"/dev/null\"\r\n",
         "line 7: "},
    };
    for (const auto& c : cases) {
        writeBytes(file, changes + c.lastLines);
        const auto outcome = zebReg({"import", file});
        expectError(outcome, c.fragment);
        EXPECT_NE(outcome.err.find("nothing was imported"), std::string::npos) << outcome.err;
        EXPECT_EQ(snapshot(folder), before) << c.lastLines;
    }
    expectError(zebReg({"import", folder.file("missing.reg")}), "does not exist");
    expectError(zebReg({"import", folder.path().string()}), "is a folder");
    writeBytes(file, "a note, not a registry file\n");
    expectError(zebReg({"import", file}), "not a registry file");
    // 100 MB, refused by its size before it is read (the file is sparse: no disk is used).
    writeBytes(file, "REGEDIT4\r\n");
    std::filesystem::resize_file(file, 100'000'000);
    expectError(zebReg({"import", file}), "larger than 64 MiB");
    EXPECT_EQ(snapshot(folder), before);
}

TEST(ZebReg, ReadOnlyStoreRefusesChangesClearly) {
    SqliteRegistry::Options readOnly;
    readOnly.readOnly = true;
    ScratchStore store(readOnly);
    TempFolder folder;
    const auto file = folder.file("in.reg");
    writeBytes(file, "REGEDIT4\r\n[HKLM\\SOFTWARE\\A]\r\n\"x\"=\"1\"\r\n");
    expectError(zebReg({"import", file}), "access is denied");
    expectError(zebReg({"add", "HKLM\\SOFTWARE\\A"}), "access is denied");
}

// The real program: help shown without opening the store, the exit status, the error stream, a
// delete that nobody at a terminal can confirm, and every example on every page pasted into a shell
// against a store of ZEB's settings and hosts. In this order the export example writes the file
// that the import example reads into an empty store.
TEST(ZebRegProgram, RunsEveryExampleAndExitsWithOneAndAnError) {
    TempFolder folder;
    const auto run = [&](const std::string& arguments) {
        return inShell(folder, folder.file("registry.db"), "zeb-reg " + arguments);
    };
    const Outcome help = run("import --help");
    expectSuccess(help);
    EXPECT_TRUE(help.out.starts_with("zeb-reg import FILE\n")) << help.out;
    EXPECT_FALSE(std::filesystem::exists(folder.file("registry.db"))) << "help made a store";
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
        for (const auto& example : examplesOf(page)) {
            const Outcome outcome = inShell(folder, store, example);
            EXPECT_EQ(outcome.status, 0) << example << '\n' << outcome.out << outcome.err;
        }
    }
    BackendScope<SqliteRegistry> imported(folder.file("importregistry.db"));
    EXPECT_EQ(stored(ZEB + "Hosts\\alpha", "Address"), "10.0.0.1\0"s);
}

// A store another program made deeper than the platform allows is still queried, exported and
// deleted whole, on a stack as small as a thread's: no walk takes a call per level.
TEST(ZebRegProgram, WalksATreeDeeperThanItsStackWithoutRecursion) {
    TempFolder folder;
    const auto store = folder.file("registry.db");
    {
        SqliteRegistry reg(store);
        ASSERT_NE(probe::create(reg, "SOFTWARE\\Deep"), 0u);
    }
    constexpr int DEPTH = 1000;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
    const std::string chain =
        "WITH RECURSIVE chain(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM chain WHERE n < " +
        std::to_string(DEPTH) +
        ") INSERT INTO keys(id, parent, name, fold) SELECT 1000000 + n, CASE n WHEN 1 THEN "
        "(SELECT id FROM keys WHERE name = x'44656570') ELSE 999999 + n END, x'64', x'44' "
        "FROM chain";
    EXPECT_EQ(sqlite3_exec(db, chain.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    const Outcome outcome =
        inShell(folder, store,
                "ulimit -s 128 && zeb-reg query 'HKLM\\SOFTWARE\\Deep' /s | grep -c 'd$' && "
                "zeb-reg export 'HKLM\\SOFTWARE\\Deep' deep.reg && "
                "zeb-reg delete 'HKLM\\SOFTWARE\\Deep' /f && zeb-reg query 'HKLM\\SOFTWARE'");
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(outcome.out.starts_with(std::to_string(DEPTH) + "\n"))
        << outcome.out.substr(0, 200);
    EXPECT_EQ(outcome.out.find("Deep", 1), std::string::npos);
    std::string deepest = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Deep";
    for (int level = 0; level < DEPTH; ++level) {
        deepest += "\\d";
    }
    EXPECT_NE(readBytes(folder.file("deep.reg")).find(deepest + "]"), std::string::npos);
}
