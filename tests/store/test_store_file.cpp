// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The store as a file: creation, files that are no store, depth, serial ports, several processes.
#include "ChildProcess.h"
#include "FakeSysfs.h"
#include "RegistryProbe.h"
#include "ScopedKey.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"
#include "StoreLocation.h"
#include "TempFolder.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdint>
#include <set>

using namespace zeb::reg;
using namespace probe;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using zeb::layout::HOSTLIST_KEY;

namespace {

unsigned modeOf(const fs::path& path) {
    return static_cast<unsigned>(fs::status(path).permissions()) & 0777;
}

// A store_writer child writing `count` HostList marks <prefix><n>, saying each n once written.
void runWriter(ChildProcess& self, const std::string& store, const std::string& prefix, int count) {
    ::dup2(self.toTest(), STDOUT_FILENO);
    const std::string countText = std::to_string(count);
    ::execl(STORE_WRITER, STORE_WRITER, store.c_str(), prefix.c_str(), countText.c_str(), nullptr);
}

// The numbers a writer said, up to `enough` of them or to its end.
std::vector<std::string> acknowledged(ChildProcess& writer, std::size_t enough = SIZE_MAX) {
    std::vector<std::string> numbers;
    for (std::string line; numbers.size() < enough && (line = writer.heard()) != "<silent>";) {
        numbers.push_back(line);
    }
    return numbers;
}

// `sql` run on the store file as another program would, on a connection of its own: the first
// column of its last row, "" when it gives none.
std::string runSql(const std::string& store, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string last;
    const auto keep = [](void* into, int, char** row, char**) {
        *static_cast<std::string*>(into) = row[0] ? row[0] : "";
        return 0;
    };
    EXPECT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), keep, &last, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
    return last;
}

// The host list, after SQLite's integrity check has passed.
std::set<std::string> hostListOf(const std::string& store) {
    EXPECT_EQ(runSql(store, "PRAGMA integrity_check"), "ok");
    SqliteRegistry reg(store);
    const auto names = namesOf(reg, create(reg, HOSTLIST_KEY));
    return {names.begin(), names.end()};
}

} // namespace

TEST(StoreFile, ReadsCreateNothingAndTheFirstWriteCreatesFolderAndFileOrFillsAnEmptyFile) {
    ::setenv("ZEB_SYSFS_ROOT", "/fake/sys", 1);
    EXPECT_EQ(defaultSysfsRoot(), "/fake/sys");
    ::unsetenv("ZEB_SYSFS_ROOT");
    EXPECT_EQ(defaultSysfsRoot(), "/sys");
    TempFolder temp;
    const fs::path folder = temp.path() / "zeb";
    const std::string path = (folder / "registry.db").string();
    SqliteRegistry reg(path);
    EXPECT_EQ(text(reg, HKEY_LOCAL_MACHINE, "V"), "<code 2>");
    EXPECT_FALSE(fs::exists(folder));
    ASSERT_EQ(setText(reg, create(reg, "SOFTWARE\\Kept"), "Value", "persisted"), ERROR_SUCCESS);
    EXPECT_EQ(std::pair(modeOf(folder), modeOf(path)), std::pair(0700u, 0600u));
    // Outside a group of writes a key is looked up anew: another process may have replaced it.
    SqliteRegistry other(path);
    EXPECT_EQ(text(other, opened(other, "SOFTWARE\\Kept"), "Value"), "persisted");
    ASSERT_EQ(reg.deleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kept"), ERROR_SUCCESS);
    ASSERT_EQ(setText(reg, create(reg, "SOFTWARE\\Kept"), "Value", "anew"), ERROR_SUCCESS);
    EXPECT_EQ(text(other, opened(other, "SOFTWARE\\Kept"), "Value"), "anew");
    // A walk that ran past the end reads afresh when it comes back, and sees the other's change.
    const Handle walked = create(reg, "SOFTWARE\\Walked");
    for (const char* name : {"a", "b", "c"}) {
        ASSERT_EQ(setText(reg, walked, name, name), ERROR_SUCCESS);
    }
    EXPECT_EQ(valueNameAt(reg, walked, 0), "a");
    ASSERT_EQ(other.deleteValue(opened(other, "SOFTWARE\\Walked"), "b"), ERROR_SUCCESS);
    EXPECT_EQ(valueNameAt(reg, walked, 9), "<code 259>");
    EXPECT_EQ(valueNameAt(reg, walked, 1), "c");
    const std::size_t handles = reg.openHandleCount();
    ScopedKey reused(reg); // each open or create closes the key held before
    ASSERT_EQ(reused.open("SOFTWARE") | reused.create("SOFTWARE\\Kept") | reused.open("SOFTWARE"),
              ERROR_SUCCESS);
    EXPECT_EQ(reg.openHandleCount(), handles + 1);
    const fs::path before = fs::current_path(); // ZEB_REGISTRY may name a relative path
    fs::current_path(temp.path());
    {
        SqliteRegistry relative("z/y/registry.db"); // a first folder of one letter included
        EXPECT_EQ(setText(relative, create(relative, "SOFTWARE"), "V", "x"), ERROR_SUCCESS);
    }
    fs::current_path(before);
    EXPECT_EQ(modeOf(temp.path() / "z" / "y"), 0700u);
    writeBytes(temp.file("empty.db"), ""); // as a user's touch leaves it
    SqliteRegistry empty(temp.file("empty.db"));
    EXPECT_EQ(setText(empty, create(empty, "SOFTWARE"), "V", "x"), ERROR_SUCCESS);
}

// A statement that cannot be prepared is never a success; a file that is no store (or a later
// ZEB's) is kept. Another program's NULLs for names or data read as empty, and a walk goes on.
TEST(StoreFile, AFileThatIsNotAStoreStaysUnchangedAndAnotherProgramsNullsReadAsEmpty) {
    TempFolder temp;
    writeBytes(temp.file("header.db"),
               std::string("SQLite format 3\0", 16) + std::string(8192, 'Z'));
    runSql(temp.file("foreign.db"), "CREATE TABLE notes(text)");
    {
        SqliteRegistry made(temp.file("broken.db"));
        ASSERT_EQ(setText(made, create(made, "SOFTWARE\\Data"), "Kept", "x"), ERROR_SUCCESS);
    }
    runSql(temp.file("broken.db"), "DROP TABLE vals");
    runSql(temp.file("later.db"), "PRAGMA application_id = 1514488402; PRAGMA user_version = 3");
    for (const auto& [name, status] :
         {std::pair{"header.db", 1009}, {"foreign.db", 1015}, {"later.db", 1015}}) {
        const std::string before = readBytes(temp.file(name));
        SqliteRegistry reg(temp.file(name));
        EXPECT_EQ(text(reg, HKEY_LOCAL_MACHINE, "V"), "<code " + std::to_string(status) + ">");
        EXPECT_EQ(writeCodes(reg), std::vector<Status>(5, static_cast<Status>(status)));
        EXPECT_EQ(readBytes(temp.file(name)), before) << name;
    }
    SqliteRegistry broken(temp.file("broken.db"));
    EXPECT_EQ(text(broken, create(broken, "SOFTWARE\\Data"), "Kept"), "<code 1016>");
    EXPECT_EQ(setText(broken, create(broken, "SOFTWARE\\Data"), "Kept", "y"), 1016);
    SqliteRegistry reg(temp.file("registry.db"));
    const Handle key = create(reg, "SOFTWARE\\Nulls");
    for (const char* name : {"a", "b", "c"}) {
        ASSERT_EQ(setText(reg, key, name, name), ERROR_SUCCESS);
    }
    ASSERT_NE(create(reg, "SOFTWARE\\Nulls\\Sub"), 0u);
    runSql(temp.file("registry.db"), "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = "
                                     "replace(sql, 'NOT NULL', '') WHERE name IN ('keys', 'vals')");
    runSql(temp.file("registry.db"), // anew, to read the schema as changed
           "UPDATE vals SET name = NULL WHERE name = x'61'; UPDATE vals SET data = NULL WHERE name "
           "= x'62'; UPDATE keys SET name = NULL WHERE name = x'537562'");
    EXPECT_EQ(std::tuple(namesOf(reg, key), text(reg, key, "b"), namesOf(reg, key, true)),
              std::tuple(Names{"", "b", "c"}, std::string(), Names{""}));
    // Data may come as no pointer only when it has no bytes.
    EXPECT_EQ(reg.setValue(key, "d", REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    EXPECT_EQ(reg.setValue(key, "e", REG_BINARY, nullptr, 1), ERROR_INVALID_PARAMETER);
}

// Never an empty path, which SQLite takes for a temporary store that forgets every record.
TEST(StoreFile, TheStoreFileIsFoundAsDocumented) {
    const std::string builtIn = ZEB_DEFAULT_REGISTRY;
    ::setenv("HOME", "/home/u", 1);
    ::setenv("ZEB_REGISTRY", "/srv/zeb.db", 1);
    EXPECT_EQ(defaultStorePath(), "/srv/zeb.db");
    ::setenv("ZEB_REGISTRY", "", 1);
    ::setenv("XDG_CONFIG_HOME", "/etc/u", 1);
    EXPECT_EQ(defaultStorePath(), builtIn.empty() ? "/etc/u/zeb/registry.db" : builtIn);
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(defaultStorePath(), builtIn.empty() ? "/home/u/.config/zeb/registry.db" : builtIn);
    ::unsetenv("HOME"); // then the home of the password database, not the current folder
    const std::string home = ::getpwuid(::getuid())->pw_dir;
    EXPECT_EQ(defaultStorePath(), builtIn.empty() ? home + "/.config/zeb/registry.db" : builtIn);
    ChildProcess stranger([&](ChildProcess& self) { // a user the password database does not know
        self.say(::setuid(54321) == 0 ? defaultStorePath() : "<not root>");
    });
    if (const std::string heard = stranger.heard(); heard != "<not root>") {
        EXPECT_EQ(heard, builtIn.empty() ? "./.config/zeb/registry.db" : builtIn);
    }
}

// Here, not in the contract: Wine sets no depth limit and reads a run of backslashes as one.
TEST(StoreFile, TreesEndAtTheDocumentedDepthAndAnEmptyPartInsideAPathIsABadPath) {
    SqliteRegistry reg(":memory:");
    std::string deepestPath = "d";
    while (deepestPath.size() < 2 * MAX_TREE_DEPTH - 1) {
        deepestPath += "\\d";
    }
    const Handle deepest = create(reg, deepestPath);
    const Handle longest = create(reg, std::string(255, 'n')); // a name's most, and one more
    ASSERT_TRUE(deepest != 0 && longest != 0);
    Handle handle = 1;
    for (const auto& [start, path] : {std::pair{deepest, std::string("below")},
                                      std::pair{HKEY_LOCAL_MACHINE, "fresh\\" + deepestPath},
                                      std::pair{HKEY_LOCAL_MACHINE, std::string(256, 'n')}}) {
        EXPECT_EQ(reg.createKey(start, path, 0, KEY_ALL_ACCESS, &handle), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "fresh", &handle), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(setText(reg, longest, std::string(16383, 'v'), "x"), ERROR_SUCCESS); // a value's too
    EXPECT_EQ(setText(reg, longest, std::string(16384, 'v'), "x"), ERROR_INVALID_PARAMETER);
    ASSERT_NE(create(reg, "X\\Y"), 0u);
    for (const char* path : {"X\\\\Y", "X\\Y\\\\\\"}) {
        EXPECT_EQ(reg.createKey(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &handle),
                  ERROR_BAD_PATHNAME)
            << path;
        EXPECT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, path, &handle), ERROR_BAD_PATHNAME) << path;
    }
}

// A machine-wide store's -wal and -shm keep its mode, so a user reads with locking: never a mix. A
// first read meets the index a writer's first open emptied, and waits: only a writer rebuilds it.
TEST(StoreFile, AReaderWithoutWriteAccessReadsWholeValuesWhileWritersCheckpoint) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root, to run the reader as the unprivileged user 65534";
    }
    TempFolder temp;
    const std::string path = temp.file("registry.db");
    constexpr int SIZE = 1024 * 1024;
    const auto writeBig = [&](char letter) {
        SqliteRegistry reg(path);
        setBytes(reg, create(reg, "SOFTWARE\\Data"), "Big", REG_BINARY, std::string(SIZE, letter));
    };
    writeBig('a');
    fs::permissions(temp.path(), fs::perms(0755));
    fs::permissions(path, fs::perms(0644));
    writeBig('b');
    EXPECT_EQ(std::pair(modeOf(path + "-wal"), modeOf(path + "-shm")), std::pair(0644u, 0644u));
    // Its own process: a connection open across fork() would be the reader's too. The header is
    // emptied from here, as closing any descriptor of the -shm drops the process's locks on it.
    ChildProcess holder([&](ChildProcess& self) {
        SqliteRegistry reg(path);
        self.say(opened(reg, "SOFTWARE") != 0 ? "holding" : "failed"); // the -shm now open
        ::pause();
    });
    ASSERT_EQ(holder.heard(), "holding");
    const std::string zeros(96, '\0'); // both copies of the index's header
    std::fstream(path + "-shm", std::ios::in | std::ios::out).write(zeros.data(), 96);
    ChildProcess reader([&](ChildProcess& self) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0 ||
            ::access(path.c_str(), R_OK) != 0) {
            return self.say("<skip>");
        }
        self.say("reading");
        std::string data(SIZE + 1, '\0');
        for (int read = 0; read < 40; ++read) {
            SqliteRegistry reg(path); // a dialog opened anew
            Dword size = static_cast<Dword>(data.size());
            const Status status =
                reg.queryValue(opened(reg, "SOFTWARE\\Data"), "Big", nullptr,
                               reinterpret_cast<unsigned char*>(data.data()), &size);
            if (status != ERROR_SUCCESS || size != SIZE || data.find_first_not_of(data[0]) < size ||
                writeCodes(reg) != std::vector<Status>(5, ERROR_ACCESS_DENIED)) {
                return self.say("read " + std::to_string(read) + ": code " +
                                std::to_string(status) + ", " + std::to_string(size) + " bytes");
            }
        }
        self.say("every read whole");
    });
    const std::string started = reader.heard();
    if (started == "<skip>") {
        GTEST_SKIP() << "user 65534 cannot become itself or reach " << path;
    }
    ASSERT_EQ(started, "reading");
    ::usleep(100'000); // the first read has met the emptied index by now
    holder.kill();
    ChildProcess writer([&](ChildProcess&) { // its first write rebuilds the index
        for (int round = 0;; ++round) {
            writeBig(round % 2 == 0 ? 'a' : 'b');
            ::usleep(1000);
        }
    });
    EXPECT_EQ(reader.heard(), "every read whole");
}

// Its owner writing the store gives the kept -wal and -shm its new group (SQLite: for root only).
TEST(StoreFile, TheOwnerWritingGivesTheLogsTheStoresNewGroup) {
    TempFolder temp;
    const std::string path = temp.file("registry.db");
    SqliteRegistry root(path);
    ASSERT_NE(create(root, "SOFTWARE"), 0u); // the logs are made, and kept in place
    for (const std::string& file : {temp.path().string(), path, path + "-wal", path + "-shm"}) {
        if (::chown(file.c_str(), 65534, file == path ? 100 : 65534) != 0) {
            GTEST_SKIP() << "needs root, to write as the unprivileged user 65534";
        }
    }
    ChildProcess writer([&](ChildProcess& self) {
        const gid_t groups[] = {100, 65534};
        if (::setgroups(2, groups) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
            return self.say("cannot become 65534");
        }
        SqliteRegistry reg(path);
        self.say(create(reg, "SOFTWARE\\Written") != 0 ? "written" : "failed");
    });
    ASSERT_EQ(writer.heard(), "written");
    for (const std::string& log : {path + "-wal", path + "-shm"}) {
        struct stat info {};
        EXPECT_TRUE(::stat(log.c_str(), &info) == 0 && info.st_uid == 65534 && info.st_gid == 100);
    }
}

// Ports with a driver (ttyS ones: a known UART type) in path order, numbers by value (ttyS05 = S5).
TEST(StoreFile, ListsPortsWithADriverInDevicePathOrderAndIsReadOnly) {
    FakeSysfs sysfs;
    sysfs.addPort("ttyS2", 1);
    sysfs.addPort("ttyS0", 0); // a legacy slot with no UART
    sysfs.addPort("ttyS1", 4, false);
    sysfs.addPort("ttyUSB0", 0); // the UART type is the legacy slots' test only
    for (const char* name : {"ttyS10", "ttyUSB10", "ttyS7", "ttyAMA0", "ttyS05", "ttyACM0",
                             "ttySAC0", "ttyS008", "ttyS9a"}) {
        sysfs.addPort(name);
    }
    SqliteRegistry reg(":memory:", {false, sysfs.root()});
    ASSERT_EQ(setText(reg, create(reg, "SOFTWARE\\DeviceMap"), "V", "kept"), ERROR_SUCCESS);
    EXPECT_EQ(text(reg, opened(reg, "SOFTWARE\\DeviceMap"), "V"), "kept"); // not computed here
    ASSERT_NE(create(reg, "BOOT"), 0u);
    EXPECT_EQ(namesOf(reg, HKEY_LOCAL_MACHINE, true), (Names{"BOOT", "HARDWARE", "SOFTWARE"}));
    const Handle key = opened(reg, "hardware\\DeviceMap\\SerialComm"); // any letter case
    EXPECT_EQ(namesOf(reg, key), (Names{"\\Device\\ttyACM0", "\\Device\\ttyAMA0", "\\Device\\ttyS2",
                                        "\\Device\\ttyS05", "\\Device\\ttyS7", "\\Device\\ttyS008",
                                        "\\Device\\ttyS9a", "\\Device\\ttyS10", "\\Device\\ttySAC0",
                                        "\\Device\\ttyUSB0", "\\Device\\ttyUSB10"}));
    EXPECT_EQ(text(reg, key, "\\Device\\ttyS10"), "/dev/ttyS10");
    char name[16]; // DEVICEMAP has SERIALCOMM alone: after it no more, or a walk would never end
    Dword size = sizeof name;
    ASSERT_EQ(reg.enumKey(opened(reg, "HARDWARE\\DEVICEMAP"), 1, name, &size), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(namesOf(reg, opened(reg, "HARDWARE\\DEVICEMAP"), true), Names{"SERIALCOMM"});
    EXPECT_EQ(opened(reg, "HARDWARE\\DEVICEMAP\\SOFTWARE"), 0u);
    EXPECT_EQ(setText(reg, key, "\\Device\\ttyS2", "/dev/other"), ERROR_ACCESS_DENIED);
    writeBytes(sysfs.root() + "/broken", std::string(4096, '\x5A')); // no store: ports still show
    SqliteRegistry broken(sysfs.root() + "/broken", {false, sysfs.root()});
    EXPECT_EQ(namesOf(broken, opened(broken, zeb::layout::SERIAL_DEVICE_MAP_KEY)).size(), 11u);
}

// Killed after a few writes, then after many, so the kill lands in varying places of a write.
TEST(StoreProcesses, TwoWritersLoseNothingAndAKilledWriterLeavesEveryAcknowledgedWrite) {
    TempFolder temp;
    const std::string store = temp.file("registry.db");
    ChildProcess first([&](ChildProcess& self) { runWriter(self, store, "first", 150); });
    ChildProcess second([&](ChildProcess& self) { runWriter(self, store, "second", 150); });
    // Both write at once whichever is heard first: a pipe holds far more than 150 lines.
    EXPECT_EQ((std::vector{acknowledged(first).size(), acknowledged(second).size()}),
              std::vector<std::size_t>(2, 150));
    EXPECT_EQ((std::vector{first.wait(), second.wait()}), std::vector(2, 0));
    EXPECT_EQ(hostListOf(store).size(), 300u); // each name distinct: a lost write leaves fewer
    for (const std::size_t killAfter : {3u, 60u}) {
        const std::string prefix = "run" + std::to_string(killAfter) + "_";
        ChildProcess writer([&](ChildProcess& self) { runWriter(self, store, prefix, 1000000); });
        std::vector<std::string> written = acknowledged(writer, killAfter);
        ASSERT_EQ(written.size(), killAfter);
        writer.kill();
        std::ranges::copy(acknowledged(writer), std::back_inserter(written)); // said before dying
        EXPECT_EQ(writer.wait(), -1);
        const std::set<std::string> names = hostListOf(store);
        for (const auto& n : written) {
            EXPECT_TRUE(names.contains(prefix + n)) << prefix + n;
        }
    }
}

// A walk reads one state, or 1022 once another walk on its connection took the snapshot from it.
TEST(StoreProcesses, AWalkReadsTheOldListOrTheNewOneNeverHalfOfEach) {
    Names oldList, newList;
    for (int n = 0; n < 200; ++n) {
        oldList.push_back("old" + std::to_string(n));
        newList.push_back("new" + std::to_string(n));
    }
    newList.resize(150);
    TempFolder temp;
    SqliteRegistry reader(temp.file("registry.db")), writer(temp.file("registry.db"));
    const auto replace = [&](const Names& gone, const Names& names) {
        for (const auto& name : gone) {
            EXPECT_EQ(writer.deleteValue(create(writer, HOSTLIST_KEY), name), ERROR_SUCCESS);
        }
        for (const auto& name : names) {
            EXPECT_EQ(setText(writer, create(writer, HOSTLIST_KEY), name, "1"), ERROR_SUCCESS);
        }
        return ERROR_SUCCESS;
    };
    ASSERT_EQ(writer.runAtomically([&] { return replace({}, oldList); }), ERROR_SUCCESS);
    const Handle walking = create(reader, HOSTLIST_KEY);
    std::vector<std::string> walked;
    for (Dword index = 0; index < 100; ++index) {
        walked.push_back(valueNameAt(reader, walking, index));
    }
    ASSERT_EQ(writer.runAtomically([&] { return replace(oldList, newList); }), ERROR_SUCCESS);
    for (Dword index = 100; !walked.back().starts_with("<code "); ++index) {
        walked.push_back(valueNameAt(reader, walking, index));
    }
    oldList.push_back("<code 259>");
    EXPECT_EQ(walked, oldList);
    EXPECT_EQ(text(reader, walking, "new0"), "1"); // the finished walk holds no old state
    const Handle fresh = create(reader, HOSTLIST_KEY);
    EXPECT_EQ(namesOf(reader, fresh), newList);
    EXPECT_EQ(valueNameAt(reader, walking, 0), "new0");
    EXPECT_EQ(valueNameAt(reader, fresh, 0), "new0");
    EXPECT_EQ(valueNameAt(reader, walking, 0), "new0"); // takes the snapshot back
    ASSERT_EQ(writer.deleteValue(create(writer, HOSTLIST_KEY), "new1"), ERROR_SUCCESS);
    std::string name;
    for (Dword index = 1; index < newList.size() && name.empty(); ++index) {
        if (const auto at = valueNameAt(reader, fresh, index); at != newList[index]) {
            name = at;
        }
    }
    EXPECT_EQ(name, "<code 1022>");
    // A walk left half way keeps its snapshot; a reading (export's) reads the store as it is.
    EXPECT_EQ(valueNameAt(reader, walking, 0), "new0");
    ASSERT_EQ(writer.deleteValue(create(writer, HOSTLIST_KEY), "new2"), ERROR_SUCCESS);
    std::string read;
    reader.runReading([&] {
        read = text(reader, walking, "new2");
        return ERROR_SUCCESS;
    });
    EXPECT_EQ(read, "<code 2>");
    // Another's change shows once a walk starts over; this connection's own changes end a walk's
    // snapshot, as does closing its handle, which would otherwise keep the log from being reset.
    EXPECT_EQ(valueNameAt(reader, walking, 0), "new0");
    ASSERT_EQ(writer.deleteValue(create(writer, HOSTLIST_KEY), "new3"), ERROR_SUCCESS);
    EXPECT_EQ(namesOf(reader, walking).size(), newList.size() - 3);
    EXPECT_EQ(valueNameAt(reader, walking, 999), "<code 259>"); // a walk past the end ends at once
    ASSERT_EQ(writer.deleteValue(create(writer, HOSTLIST_KEY), "new4"), ERROR_SUCCESS);
    EXPECT_EQ(text(reader, walking, "new4"), "<code 2>");
    EXPECT_EQ(valueNameAt(reader, walking, 0), "new0");
    EXPECT_EQ(reader.deleteValue(walking, "new5"), ERROR_SUCCESS);
    EXPECT_EQ(valueNameAt(reader, walking, 0), "new0");
    EXPECT_EQ(reader.runAtomically([&] { return reader.deleteValue(walking, "new6"); }), 0);
    EXPECT_EQ(valueNameAt(reader, walking, 0), "new0");
    EXPECT_EQ(reader.closeKey(walking), ERROR_SUCCESS); // else the restart below is busy: 1
    EXPECT_EQ(runSql(temp.file("registry.db"), "PRAGMA wal_checkpoint(RESTART)"), "0");
}
