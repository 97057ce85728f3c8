// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// zeb-reg in process over a private store, and the real program in a shell.
#include "Cp1252.h"
#include "RegFile.h"
#include "RegistryProbe.h"
#include "ScratchStore.h"
#include "SqliteRegistry.h"
#include "TempFolder.h"
#include "ZebReg.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <set>
#include <sstream>

using namespace zeb::reg;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

Outcome zebReg(const std::vector<std::string>& args, const std::string& typedAtTerminal = {}) {
    std::istringstream in(typedAtTerminal);
    std::ostringstream out, err;
    zeb::regtool::Console console{in, out, err, !typedAtTerminal.empty()};
    return {zeb::regtool::runZebReg(backend(), args, console), out.str(), err.str()};
}

void expectSuccess(const Outcome& outcome) {
    EXPECT_TRUE(outcome.status == 0 && outcome.err.empty()) << outcome.err;
}

// Exit status 1, no output and one error that says `fragment`.
void expectError(const Outcome& outcome, const std::string& fragment) {
    EXPECT_EQ(std::pair(outcome.status, outcome.out), std::pair(1, std::string()));
    EXPECT_TRUE(outcome.err.starts_with("ERROR: ")) << outcome.err;
    EXPECT_NE(outcome.err.find(fragment), std::string::npos) << outcome.err;
}

void put(const std::string& path, const std::string& name, Dword type, const std::string& data) {
    ASSERT_EQ(probe::setBytes(backend(), probe::create(backend(), path), name, type, data), 0);
}

constexpr const char* HOSTS = "HKLM\\SOFTWARE\\Verdastone\\Kelm\\ZEB\\Hosts";
const std::string ZEB = "SOFTWARE\\Verdastone\\Kelm\\ZEB\\";

std::string snapshot(const TempFolder& folder) { // the whole store, byte exact
    const auto& store = dynamic_cast<const SqliteRegistry&>(backend());
    const std::size_t open = store.openHandleCount();
    EXPECT_EQ(zebReg({"export", "HKLM", folder.file("snapshot.reg"), "/y"}).status, 0);
    EXPECT_EQ(store.openHandleCount(), open); // the walk closed every key it opened
    return readBytes(folder.file("snapshot.reg"));
}

struct FileMadeWhileReading final : SqliteRegistry {
    explicit FileMadeWhileReading(std::string file) : SqliteRegistry(":memory:"), file(file) {}
    std::string file;
    Status runReading(const std::function<Status()>& body) override {
        writeBytes(file, "late");
        return SqliteRegistry::runReading(body);
    }
};

struct KeysUnreadable final : SqliteRegistry { // as when another process deletes the key meanwhile
    KeysUnreadable() : SqliteRegistry(":memory:") {}
    Status enumKey(Handle, Dword, char*, Dword*) override { return ERROR_KEY_DELETED; }
    Status openKey(Handle parent, const std::string& sub, Handle* key) override {
        return sub.empty() ? SqliteRegistry::openKey(parent, sub, key) : ERROR_KEY_DELETED;
    }
};

void fillStore() { // a setting, a host record and one value of each unusual shape
    put(ZEB + "Settings", "EnableNR", REG_SZ, "Y\0"s);
    put(ZEB + "HostList", "alpha", REG_SZ, "1\0"s);
    put(ZEB + "Hosts\\alpha", "Address", REG_SZ, "10.0.0.1\0"s);
    put("SOFTWARE\\Shapes", "", REG_SZ, "default \x80\xFF\0"s);
    put("SOFTWARE\\Shapes", "binary", REG_BINARY, std::string(300, '\xA5'));
    put("SOFTWARE\\Shapes", "multi", REG_MULTI_SZ, "one\0two\0\0"s);
    put("SOFTWARE\\Shapes", "odd type", 0x4000, "\x01"s);
    ASSERT_NE(probe::create(backend(), "SOFTWARE\\Shapes\\Empty"), 0u);
}

} // namespace

TEST(ZebReg, AddsQueriesAndDeletes) {
    ScratchStore store;
    const auto alpha = HOSTS + "\\alpha"s;
    expectSuccess(zebReg({"add", alpha, "/v", "Address", "/d", "old"}));
    expectError(zebReg({"add", alpha, "/v", "ADDRESS", "/d", "new"}), "add /f");
    expectSuccess(zebReg({"add", alpha, "/v", "Port", "/t", "reg_dword", "/d", "0x17"}));
    expectError(zebReg({"add", alpha, "/v", "N", "/t", "REG_DWORD", "/f"}), "needs /d");
    expectError(zebReg({"import", "/"}), "'/' is a folder"); // a lone '/' or '-' is no switch
    const std::string shown = "\nHKEY_LOCAL_MACHINE\\" + ZEB + "Hosts"; // an empty line first
    expectSuccess(zebReg({"add", alpha})); // without /v: the default value, empty text
    EXPECT_TRUE(zebReg({"query", alpha, "/ve"}).out.ends_with("(Default)    REG_SZ    \n\n"));
    EXPECT_EQ(zebReg({"query", HOSTS + "\\ALPHA"s, "/v", "port"}).out,
              shown + "\\ALPHA\n    port    REG_DWORD    0x17\n\n");
    expectError(zebReg({"query", HOSTS, "/s", "/v", "Nope"}), "the value 'Nope' was not found");
    put(ZEB + "Hosts\\b", "big", 5, "\0\0\0\x01"s);
    put(ZEB + "Hosts\\b", "rr", 10, "\xa5"s);
    put(ZEB + "Hosts\\b", "link", 6, "\x01"s);
    put(ZEB + "Hosts\\b", "multi", REG_MULTI_SZ, "x\0y\x1b[2J\0\0"s);
    // Control characters reach no terminal as such: an escape is shown as \x1b.
    put(ZEB + "Hosts\\b", "e\x1b]0;t\x07", REG_SZ, "\x90\x7f\x8d\x9d\0"s);
    EXPECT_EQ(zebReg({"query", HOSTS + "\\b"s}).out,
              shown + "\\b\n    big    REG_DWORD_BIG_ENDIAN    00000001\n"
                      "    rr    REG_RESOURCE_REQUIREMENTS_LIST    A5\n"
                      "    link    REG_LINK    01\n"
                      "    multi    REG_MULTI_SZ    x\\0y\\x1b[2J\n"
                      "    e\\x1b]0;t\\x07    REG_SZ    \\x90\\x7f\\x8d\\x9d\n\n");
    EXPECT_EQ(zebReg({"query", HOSTS, "/s", "/v", "Port"}).out,
              shown + "\\alpha\n    Port    REG_DWORD    0x17\n\n");
    for (Dword type = 0; type <= 11; ++type) { // the platform's numbers, each shown by its name
        put(ZEB + "Types", std::to_string(type), type, "\x01"s);
    }
    EXPECT_EQ(zebReg({"query", "HKLM\\" + ZEB + "Types"}).out.find("REG_0x"), std::string::npos);

    expectError(zebReg({"delete", alpha, "/va"}), "/f"); // nobody can confirm from a pipe
    expectSuccess(zebReg({"delete", alpha, "/va"}, "YES\n"));
    EXPECT_EQ(zebReg({"query", alpha}).out, "\n"); // a key is named only with values; /s names all
    EXPECT_TRUE(zebReg({"query", HOSTS, "/s"}).out.starts_with(shown + "\\alpha\n" + shown));
    expectSuccess(zebReg({"delete", HOSTS, "/f"})); // with everything below it
    EXPECT_EQ(probe::opened(backend(), ZEB + "Hosts\\b"), 0u);
}

// An import is one transaction; an export gets the store's mode and checks /y again at its end.
TEST(ZebReg, HelpRefusalsAndExportsLeaveTheStoreAndFilesAlone) {
    ScratchStore store;
    TempFolder folder;
    fillStore();
    const auto before = snapshot(folder), file = folder.file("snapshot.reg");
    const std::string changes = "REGEDIT4\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Verdastone]\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Added]\r\n\"new\"=\"value\"\r\n";
    writeBytes(folder.file("bad.reg"), changes + "\"bad\"=hex:0,1,xyz\r\n");
    writeBytes(folder.file("map.reg"),
               changes + "[HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n\"C\"=\"x\"\r\n");
    writeBytes(folder.file("root.reg"), changes + "[HKEY_LOCAL_MACHINE]\r\n\"C\"=\"x\"\r\n");
    writeBytes(folder.file("sub.reg"), changes + "[HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM\\S]\r\n");
    // Valid UTF-8, so not read as Windows-1252; but its last character is beyond that code page.
    writeBytes(folder.file("utf8.reg"), changes + "\"v\"=\"\xC3\xA9\xF0\x9F\x98\x80\"\r\n");
    for (const auto& [name, size] :
         {std::pair{"64MiB.reg", 64 << 20}, {"over.reg", (64 << 20) + 1}}) {
        writeBytes(folder.file(name), "REGEDIT4\r\n\"");
        fs::resize_file(folder.file(name), size); // sparse: zeros the file system makes up
    }
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no operation"},
        {{"delete", "/va"}, "delete needs KEY"}, // a switch of letters, not a key
        {{"export", "HKLM\\SOFTWARE", file}, "add /y"},
        {{"export", "HKLM\\SOFTWARE", "/y", file}, "KEY and FILE must come right after export"},
        {{"add", "HKLM\\", "/v", "Value1", "/d", "foo", "/f"}, "invalid system key 'HKLM\\'"},
        {{"add", "HKLM", "/v", "Value1", "/f"}, "access is denied"},
        {{"add", "HKLM\\SOFTWARE\\A", "/v", "x", "/reg:32"},
         "'/reg:32' for add\nUsage: zeb-reg add"},
        {{"add", "HKLM\\SOFTWARE\\A", "/t", "REG_BINARY", "/d", "00"},
         "'REG_BINARY' cannot be added"},
        {{"import", folder.file("root.reg")}, "line 5: access is denied: HKEY_LOCAL_MACHINE"},
        {{"import", folder.file("bad.reg")},
         "line 5: a hex byte must be hexadecimal digits, not 'x'; nothing was imported"},
        {{"import", folder.file("map.reg")}, "SERIALCOMM', value 'C': access is denied"},
        {{"import", folder.file("utf8.reg")}, "line 5: a character that Windows-1252"},
        {{"import", folder.file("sub.reg")},
         "line 5: the key 'HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM\\S': access"},
        {{"import", folder.file("64MiB.reg")}, "line 2:"}, // read, not refused for its size
        {{"import", folder.file("over.reg")}, "larger than 64 MiB"},
    };
    for (const auto& [args, fragment] : cases) {
        expectError(zebReg(args), fragment);
    }
    const std::vector<std::vector<std::string>> verbs = {{"/?"},           {"query", "-?"},
                                                         {"add", "/h"},    {"delete", "/H"},
                                                         {"export", "/h"}, {"import", "/h"}};
    for (const auto& args : verbs) { // the verb's own page, with the exit statuses scripts use
        const auto page = zebReg(args);
        expectSuccess(page);
        EXPECT_TRUE(page.out.starts_with("zeb-reg " + (args.size() > 1 ? args[0] : "OPERATION")));
        EXPECT_NE(page.out.find("\nReturn code:\n\n  0 - Successful"), std::string::npos);
        EXPECT_NE(page.out.find("\n  1 - Failed ("), std::string::npos) << page.out;
    }
    EXPECT_EQ((std::pair{readBytes(file), snapshot(folder)}), std::pair(before, before));
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 8);
    {
        BackendScope<FileMadeWhileReading> racing(folder.file("late.reg"));
        expectError(zebReg({"export", "HKLM", folder.file("late.reg")}), "already exists");
        EXPECT_EQ(readBytes(folder.file("late.reg")), "late");
    }
    ScratchStore readOnly({true});
    expectError(zebReg({"add", "HKLM\\SOFTWARE\\A"}), "access is denied");
    BackendScope<KeysUnreadable> unreadable;
    expectError(zebReg({"query", "HKLM"}), "listing the subkeys of 'HKEY_LOCAL_MACHINE'");
    expectError(zebReg({"query", "HKLM\\A"}), "opening the key 'HKEY_LOCAL_MACHINE\\A'");
}

// A name like "lab] ;old" must come back byte for byte, or the export refuses it naming its key.
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
    std::vector<std::string> names; // those that are key names the export must carry too
    {
        ScratchStore store;
        fillStore();
        while (folded.size() < 300) {
            const auto name = randomName();
            const auto path = ZEB + "Hosts\\" + name;
            if (name.empty() || !folded.insert(foldCp1252(name)).second ||
                probe::create(backend(), path) == 0) {
                continue;
            }
            const auto full = "HKLM\\" + fromCp1252(path);
            if (std::any_of(name.begin(), name.end(),
                            [](unsigned char c) { return c < 0x20 || c == 0x7F; })) {
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
        EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 1); // no temporary
        EXPECT_EQ(readBytes(file).find("HARDWARE"), std::string::npos) << "computed, not stored";
    }
    ScratchStore store;
    expectSuccess(zebReg({"import", file}));
    for (const auto& name : names) {
        const Handle key = probe::opened(backend(), ZEB + "Hosts\\" + name);
        EXPECT_EQ(probe::text(backend(), key, name), name) << name;
    }
    EXPECT_EQ(snapshot(folder), readBytes(file)); // the shapes and the empty key too
}

// A tree deeper than the platform allows, walked on a thread's stack: no walk takes a call a level.
// A value another program stored under a name too long to read fails the export, not drops.
TEST(ZebRegProgram, WalksATreeDeeperThanItsStackWithoutRecursionAndFailsOnAnUnreadableValue) {
    TempFolder folder;
    const auto store = folder.file("registry.db");
    {
        SqliteRegistry reg(store);
        ASSERT_TRUE(probe::create(reg, "SOFTWARE\\Deep") && probe::create(reg, "SOFTWARE\\Odd"));
    }
    const char* foreignRows =
        "WITH RECURSIVE chain(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM chain "
        "WHERE n < 1000) INSERT INTO keys(id, parent, name, fold) SELECT "
        "1000000 + n, CASE n WHEN 1 THEN (SELECT id FROM keys WHERE name = "
        "x'44656570') ELSE 999999 + n END, x'64', x'44' FROM chain; INSERT "
        "INTO vals(key, name, fold, type, data) SELECT id, zeroblob(20000), "
        "zeroblob(20000), 1, x'' FROM keys WHERE name = x'4F6464'";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, foreignRows, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    writeBytes(folder.file("run.sh"),
               "cd '" + folder.path().string() + "' && export ZEB_REGISTRY='" + store +
                   "' PATH=\"$(dirname '" ZEB_REG_PROGRAM "'):$PATH\" && ulimit -s 128 && "
                   "zeb-reg query 'HKLM\\SOFTWARE\\Deep' /s | grep -c 'd$' && "
                   "zeb-reg export 'HKLM\\SOFTWARE\\Deep' deep.reg && grep -c '^\\[' deep.reg && "
                   "zeb-reg delete 'HKLM\\SOFTWARE\\Deep' /f && zeb-reg query 'HKLM\\SOFTWARE' && "
                   "! zeb-reg export 'HKLM\\SOFTWARE\\Odd' odd.reg 2>&1 && test ! -e odd.reg");
    const std::string run =
        "timeout 30 bash '" + folder.file("run.sh") + "' </dev/null >'" + folder.file("out") + "'";
    EXPECT_EQ(std::system(run.c_str()), 0);
    const std::string out = readBytes(folder.file("out"));
    EXPECT_TRUE(out.starts_with("1000\nThe operation completed successfully.\n1001\n"))
        << out.substr(0, 200);
    EXPECT_EQ(out.find("Deep", 1), std::string::npos);
    EXPECT_TRUE(out.ends_with("\nERROR: reading the values of 'HKEY_LOCAL_MACHINE\\SOFTWARE\\Odd': "
                              "the store answered with error 234\n"))
        << out;
}
