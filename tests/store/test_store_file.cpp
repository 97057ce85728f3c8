// The store as a file: where it lives, when it comes into being, files that are no store or may not
// be written, and readers that may not write it.
#include "ChildProcess.h"
#include "RegistryProbe.h"
#include "SqliteRegistry.h"
#include "TempFolder.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <stdexcept>

using namespace zeb::reg;
using namespace probe;
namespace fs = std::filesystem;

namespace {

// Sets (or, given null, unsets) one environment variable for a scope.
struct EnvironmentScope {
    EnvironmentScope(const char* name, const char* value) : name(name) {
        if (const char* old = std::getenv(name)) {
            before = old;
        }
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~EnvironmentScope() { before ? ::setenv(name, before->c_str(), 1) : ::unsetenv(name); }
    const char* name;
    std::optional<std::string> before;
};

// A store holding SOFTWARE\Data\Kept = `kept`, open until the result is dropped.
std::unique_ptr<SqliteRegistry> storeKeeping(const std::string& path, const std::string& kept) {
    auto reg = std::make_unique<SqliteRegistry>(path);
    EXPECT_EQ(setText(*reg, create(*reg, "SOFTWARE\\Data"), "Kept", kept), ERROR_SUCCESS);
    return reg;
}

void execSql(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

unsigned modeOf(const fs::path& path) {
    return static_cast<unsigned>(fs::status(path).permissions()) & 0777;
}

// User 65534 is bound by file permissions as any user is; root is not. False when refused.
bool becomeUnprivileged() {
    return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

std::size_t entriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

} // namespace

TEST(StoreFile, LocationFollowsTheEnvironment) {
    EnvironmentScope home("HOME", "/home/someone");
    const struct {
        const char* registry;
        const char* config;
        std::string path;
    } cases[] = {{"/srv/zeb/store.db", "/elsewhere", "/srv/zeb/store.db"},
                 {nullptr, "/cfg", "/cfg/zeb/registry.db"},
                 {nullptr, nullptr, "/home/someone/.config/zeb/registry.db"}};
    for (const auto& c : cases) {
        EnvironmentScope registry("ZEB_REGISTRY", c.registry);
        EnvironmentScope config("XDG_CONFIG_HOME", c.config);
        EXPECT_EQ(SqliteRegistry::defaultPath(), c.path);
    }
    for (const char* root : {"/fake/sys", static_cast<const char*>(nullptr)}) {
        EnvironmentScope sysfs("ZEB_SYSFS_ROOT", root);
        EXPECT_EQ(SqliteRegistry::defaultSysfsRoot(), root != nullptr ? root : "/sys");
    }
}

TEST(StoreFile, ReadsCreateNothingAndTheFirstWriteCreatesFolderAndFileOrFillsAnEmptyFile) {
    TempFolder temp;
    const fs::path folder = temp.path() / "config" / "zeb";
    const std::string path = (folder / "registry.db").string();
    SqliteRegistry reg(path);
    Handle handle = 0;
    EXPECT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE", &handle), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text(reg, HKEY_LOCAL_MACHINE, "V"), "<code 2>");
    EXPECT_EQ(reg.deleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(temp.path() / "config"));

    ASSERT_EQ(setText(reg, create(reg, "SOFTWARE\\Kept"), "Value", "persisted"), ERROR_SUCCESS);
    EXPECT_EQ(modeOf(temp.path() / "config"), 0700u);
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(path), 0600u);
    SqliteRegistry later(path);
    EXPECT_EQ(text(later, create(later, "SOFTWARE\\Kept"), "Value"), "persisted");

    writeBytes(temp.file("empty.db"), ""); // as a user's touch leaves it
    SqliteRegistry empty(temp.file("empty.db"));
    EXPECT_EQ(setText(empty, create(empty, "SOFTWARE"), "V", "x"), ERROR_SUCCESS);
    EXPECT_GT(fs::file_size(temp.file("empty.db")), 0u);
}

// Noise, noise behind SQLite's magic (1009), someone else's database (1015), a store missing a
// table (1016: a statement that cannot be prepared is never a success); none is changed.
TEST(StoreFile, AFileThatIsNotAStoreGivesCodesAndStaysUnchanged) {
    TempFolder temp;
    const std::string noise = temp.file("noise.db");
    writeBytes(noise, std::string(8192, '\x5A'));
    writeBytes(temp.file("header.db"), std::string("SQLite format 3\0", 16) + readBytes(noise));
    execSql(temp.file("foreign.db"), "CREATE TABLE notes(text); INSERT INTO notes VALUES('x');");
    storeKeeping(temp.file("broken.db"), "x");
    execSql(temp.file("broken.db"), "DROP TABLE vals");
    for (const auto& [name, status] : {std::pair{"noise.db", 1009}, std::pair{"header.db", 1009},
                                       std::pair{"foreign.db", 1015}}) {
        const std::string before = readBytes(temp.file(name));
        SqliteRegistry reg(temp.file(name));
        EXPECT_EQ(text(reg, HKEY_LOCAL_MACHINE, "V"), "<code " + std::to_string(status) + ">");
        expectEveryWriteGives(reg, static_cast<Status>(status));
        EXPECT_EQ(readBytes(temp.file(name)), before) << name;
    }
    SqliteRegistry broken(temp.file("broken.db"));
    EXPECT_EQ(text(broken, create(broken, "SOFTWARE\\Data"), "Kept"), "<code 1016>");
    EXPECT_EQ(setText(broken, create(broken, "SOFTWARE\\Data"), "Kept", "y"), 1016);
    EXPECT_EQ(entriesIn(temp.path()), 6u); // the store's -wal and -shm, none beside the others
}

// Read-only, absent and read-only, or below a plain file: every write gives 5, nothing is lost.
TEST(StoreFile, AStoreThatMayNotBeWrittenGivesFiveAndLosesNothing) {
    TempFolder temp;
    const std::string path = temp.file("registry.db");
    storeKeeping(path, "yes");
    const std::string before = readBytes(path);
    {
        SqliteRegistry reg(path, {true});
        expectEveryWriteGives(reg, ERROR_ACCESS_DENIED);
        EXPECT_EQ(text(reg, opened(reg, "SOFTWARE\\Data"), "Kept"), "yes");
    }
    EXPECT_EQ(readBytes(path), before);
    SqliteRegistry absent(temp.file("absent.db"), {true});
    expectEveryWriteGives(absent, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(fs::exists(temp.file("absent.db")));

    writeBytes(temp.file("occupied"), "x"); // not even root can make the folder
    SqliteRegistry reg(temp.file("occupied") + "/zeb/registry.db");
    EXPECT_EQ(valueNames(reg, HKEY_LOCAL_MACHINE), std::vector<std::string>{});
    EXPECT_EQ(writeCodes(reg), (std::vector<Status>{5, 5, 2, 2, 5})); // nothing there to delete
    EXPECT_EQ(readBytes(temp.file("occupied")), "x");
}

// A reading group (an export) sees one state of the store whatever another process writes, and
// sees that write once the group has ended, by an exception too.
TEST(StoreFile, AReadingGroupSeesOneStateOfTheStore) {
    TempFolder temp;
    const std::string path = temp.file("registry.db");
    const auto writer = storeKeeping(path, "old");
    SqliteRegistry reader(path);
    const Handle key = create(reader, "SOFTWARE\\Data");
    const auto change = [&](const std::string& kept) {
        EXPECT_EQ(setText(*writer, create(*writer, "SOFTWARE\\Data"), "Kept", kept), ERROR_SUCCESS);
    };
    EXPECT_EQ(reader.runReading([&] {
        EXPECT_EQ(text(reader, key, "Kept"), "old");
        change("new");
        EXPECT_EQ(text(reader, key, "Kept"), "old");
        return ERROR_MORE_DATA;
    }),
              ERROR_MORE_DATA);
    EXPECT_EQ(text(reader, key, "Kept"), "new");
    EXPECT_THROW(reader.runReading([&]() -> Status {
        EXPECT_EQ(text(reader, key, "Kept"), "new");
        change("newer");
        throw std::runtime_error("stopped");
    }),
                 std::runtime_error);
    EXPECT_EQ(text(reader, key, "Kept"), "newer");
}

// A machine-wide store: root's, readable by all. A user reads it whether or not a writer has it
// open, sees each change once the writer is done, changes nothing and leaves no file behind; its
// -wal and -shm stay in place with the store's mode, even when that changed after they were made.
TEST(StoreFile, AStoreUsersMayReadButNotWriteIsReadByThem) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root, to run the reader as the unprivileged user 65534";
    }
    TempFolder temp;
    const fs::path folder = temp.path() / "machine";
    const std::string path = (folder / "registry.db").string();
    storeKeeping(path, "first"); // mode 0600, and so its -wal and -shm
    SqliteRegistry privateStore(temp.file("private.db"));
    ASSERT_EQ(setText(privateStore, HKEY_LOCAL_MACHINE, "V", "x"), ERROR_SUCCESS);
    for (const fs::path& opened : {temp.path(), folder, fs::path(path)}) {
        fs::permissions(opened, fs::perms(opened == path ? 0644 : 0755));
    }
    storeKeeping(path, "first"); // the next writer gives the -wal and -shm the store's new mode
    EXPECT_EQ(modeOf(path + "-wal"), 0644u);
    EXPECT_EQ(modeOf(path + "-shm"), 0644u);
    const std::string before = readBytes(path);
    ChildProcess reader([&](ChildProcess& self) {
        if (!becomeUnprivileged() || ::access(path.c_str(), R_OK) != 0) {
            return self.say("<skip>");
        }
        SqliteRegistry unreadable(temp.file("private.db"));
        self.say(text(unreadable, HKEY_LOCAL_MACHINE, "V")); // no empty store
        SqliteRegistry reg(path);
        for (int round = 0; round < 3; ++round) {
            std::string line = text(reg, opened(reg, "SOFTWARE\\Data"), "Kept");
            for (const Status status : writeCodes(reg)) {
                line += " " + std::to_string(status);
            }
            self.say(line);
            self.hold();
        }
    });
    const std::string first = reader.heard();
    if (first == "<skip>") {
        GTEST_SKIP() << "user 65534 cannot become itself or reach " << path;
    }
    EXPECT_EQ(first, "<code 5>");
    EXPECT_EQ(reader.heard(), "first 5 5 5 5 5"); // no writer about
    EXPECT_EQ(readBytes(path), before);
    storeKeeping(path, "second"); // comes and goes: its change is checkpointed into the file
    reader.resume();
    EXPECT_EQ(reader.heard(), "second 5 5 5 5 5");
    auto staying = storeKeeping(path, "third"); // stays: its change is in its -wal still
    reader.resume();
    EXPECT_EQ(reader.heard(), "third 5 5 5 5 5");
    reader.resume();
    EXPECT_EQ(reader.heard(), "<silent>");
    staying.reset();
    EXPECT_EQ(entriesIn(folder), 3u);            // the store, its -wal and its -shm
    EXPECT_EQ(fs::file_size(path + "-wal"), 0u); // the last writer out emptied the log
}

// Such a user reads with SQLite's locking while writers come and go, each checkpointing a value
// spread over many pages: every read is whole, never a failure or a mix of two writes.
TEST(StoreFile, AReaderWithoutWriteAccessReadsWholeValuesWhileWritersCheckpoint) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root, to run the reader as the unprivileged user 65534";
    }
    const EnvironmentScope memory("TMPDIR", fs::is_directory("/dev/shm") ? "/dev/shm"
                                                                         : std::getenv("TMPDIR"));
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
    ChildProcess writer([&](ChildProcess& self) {
        self.say("writing");
        for (int round = 0;; ++round) {
            writeBig(round % 2 == 0 ? 'a' : 'b');
            ::usleep(1000);
        }
    });
    ASSERT_EQ(writer.heard(), "writing");
    ChildProcess reader([&](ChildProcess& self) {
        if (!becomeUnprivileged() || ::access(path.c_str(), R_OK) != 0) {
            return self.say("<skip>");
        }
        std::string data(SIZE + 1, '\0');
        for (int read = 0; read < 40; ++read) {
            SqliteRegistry reg(path); // a dialog opened anew
            Dword size = static_cast<Dword>(data.size());
            const Status status =
                reg.queryValue(opened(reg, "SOFTWARE\\Data"), "Big", nullptr,
                               reinterpret_cast<unsigned char*>(data.data()), &size);
            const std::string_view got(data.data(), size);
            if (status != ERROR_SUCCESS || size != SIZE ||
                got.find_first_not_of(data[0]) != std::string_view::npos) {
                return self.say("read " + std::to_string(read) + ": code " +
                                std::to_string(status) + ", " + std::to_string(size) + " bytes");
            }
        }
        self.say("every read whole");
    });
    const std::string verdict = reader.heard();
    if (verdict == "<skip>") {
        GTEST_SKIP() << "user 65534 cannot become itself or reach " << path;
    }
    EXPECT_EQ(verdict, "every read whole");
}
