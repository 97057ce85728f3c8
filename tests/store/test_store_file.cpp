// The store as a file: where it lives, when it comes into being, and what happens to a file that
// is not a store or may not be written.
#include "ChildProcess.h"
#include "RegistryProbe.h"
#include "SqliteRegistry.h"
#include "TempFolder.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>

using namespace zeb::reg;
using namespace probe;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

namespace {

// Sets (or, given null, unsets) one environment variable for a scope, restoring what was there.
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

// A store file holding SOFTWARE\Data\Kept = `kept`, still open until the result is dropped.
std::unique_ptr<SqliteRegistry> storeKeeping(const std::string& path, const std::string& kept) {
    auto reg = std::make_unique<SqliteRegistry>(path);
    EXPECT_EQ(setText(*reg, create(*reg, "SOFTWARE\\Data"), "Kept", kept), ERROR_SUCCESS);
    return reg;
}

// Runs `sql` on the file at `path` as any SQLite program could.
void execSql(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

unsigned modeOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

// Drops root for user 65534, which file permissions bind as they bind any user; false when the
// system refuses.
bool becomeUnprivileged() {
    return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

std::size_t entriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

} // namespace

TEST(StoreFile, LocationFollowsTheEnvironment) {
    EnvironmentScope home("HOME", "/home/someone");
    // This build fixes no path of its own (ZEB_DEFAULT_REGISTRY is empty), so XDG decides when
    // ZEB_REGISTRY does not.
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

    const Handle key = create(reg, "SOFTWARE\\Kept");
    ASSERT_NE(key, 0u);
    ASSERT_EQ(setText(reg, key, "Value", "persisted"), ERROR_SUCCESS);
    EXPECT_EQ(modeOf((temp.path() / "config").string()), 0700u);
    EXPECT_EQ(modeOf(folder.string()), 0700u);
    EXPECT_EQ(modeOf(path), 0600u);

    SqliteRegistry later(path);
    EXPECT_EQ(text(later, create(later, "SOFTWARE\\Kept"), "Value"), "persisted");

    // An empty file, as a user's touch leaves it, becomes a store too.
    writeBytes(temp.file("empty.db"), "");
    SqliteRegistry empty(temp.file("empty.db"));
    EXPECT_EQ(setText(empty, create(empty, "SOFTWARE"), "V", "x"), ERROR_SUCCESS);
    EXPECT_GT(fs::file_size(temp.file("empty.db")), 0u);
}

TEST(StoreFile, AFileThatIsNotAStoreGivesCodesAndStaysUnchanged) {
    TempFolder temp;
    // Three ways not to be a store: noise, noise behind SQLite's magic, someone else's database.
    const std::string noise = temp.file("noise.db");
    const std::string fakeHeader = temp.file("header.db");
    const std::string foreign = temp.file("foreign.db");
    writeBytes(noise, std::string(8192, '\x5A'));
    writeBytes(fakeHeader, std::string("SQLite format 3\0", 16) + readBytes(noise));
    execSql(foreign, "CREATE TABLE notes(text); INSERT INTO notes VALUES('mine');");

    for (const std::string& path : {noise, fakeHeader, foreign}) {
        SCOPED_TRACE(path);
        const std::string before = readBytes(path);
        SqliteRegistry reg(path);
        // Noise is not a database at all; a real database of another program is not ZEB's.
        const Status status = path == foreign ? ERROR_REGISTRY_CORRUPT : ERROR_BADDB;
        EXPECT_EQ(text(reg, HKEY_LOCAL_MACHINE, "V"), "<code " + std::to_string(status) + ">");
        expectEveryWriteGives(reg, status);
        EXPECT_EQ(readBytes(path), before);
    }
    EXPECT_EQ(entriesIn(temp.path()), 3u); // no journal or WAL left beside them
}

// A statement that cannot even be prepared is a failure like any other, never a success.
TEST(StoreFile, AStoreMissingATableFailsRatherThanLosingWrites) {
    TempFolder temp;
    const std::string path = temp.file("registry.db");
    storeKeeping(path, "x");
    execSql(path, "DROP TABLE vals");
    SqliteRegistry reg(path);
    const Handle key = create(reg, "SOFTWARE\\Data");
    EXPECT_EQ(text(reg, key, "Kept"), "<code 1016>");
    EXPECT_EQ(setText(reg, key, "Kept", "y"), 1016);
}

TEST(StoreFile, ReadOnlyStoreGivesFiveAndLosesNothing) {
    TempFolder temp;
    const std::string path = temp.file("registry.db");
    storeKeeping(path, "yes");
    const std::string before = readBytes(path);
    {
        SqliteRegistry reg(path, {true});
        Handle key = 0;
        ASSERT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Data", &key), ERROR_SUCCESS);
        expectEveryWriteGives(reg, ERROR_ACCESS_DENIED);
        EXPECT_EQ(text(reg, key, "Kept"), "yes");
    }
    EXPECT_EQ(readBytes(path), before);

    // A read-only store that does not exist reads as empty and stays absent.
    SqliteRegistry absent(temp.file("absent.db"), {true});
    expectEveryWriteGives(absent, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(fs::exists(temp.file("absent.db")));
}

TEST(StoreFile, AFolderThatCannotBeMadeGivesFive) {
    TempFolder temp;
    // A plain file where the folder should be: not even root can create the store below it.
    writeBytes(temp.file("occupied"), "x");
    SqliteRegistry reg(temp.file("occupied") + "/zeb/registry.db");
    EXPECT_EQ(valueNames(reg, HKEY_LOCAL_MACHINE), Names{});
    EXPECT_EQ(writeCodes(reg)[0], ERROR_ACCESS_DENIED); // creating a key
    EXPECT_EQ(reg.runAtomically([] { return ERROR_SUCCESS; }), ERROR_ACCESS_DENIED);
    // Deleting needs no file: a store that does not exist holds nothing to delete.
    EXPECT_EQ(reg.deleteValue(HKEY_LOCAL_MACHINE, "V"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(readBytes(temp.file("occupied")), "x");
}

// A reading group (an export) sees the store as it was when it first read, whatever another
// process writes meanwhile, and sees that write once the group has ended, by an exception too.
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

// A machine-wide store: root's, in root's folder, readable by all. A user reads it whether or not
// a writer has it open at that moment, sees each change once the writer is done, changes nothing,
// and leaves no file behind. Its -wal and -shm stay in place for such readers, with the store's
// mode even when the administrator changed the store's after they were made.
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
    fs::permissions(temp.path(), fs::perms(0755));
    fs::permissions(folder, fs::perms(0755));
    fs::permissions(path, fs::perms(0644));
    storeKeeping(path, "first"); // the next writer gives the -wal and -shm the store's new mode
    for (const char* suffix : {"-wal", "-shm"}) {
        EXPECT_EQ(modeOf(path + suffix), 0644u) << suffix;
    }
    const std::string before = readBytes(path);

    // User 65534 is bound by file permissions as any user is; root is not.
    ChildProcess reader([&](ChildProcess& self) {
        if (!becomeUnprivileged()) {
            return self.say("<cannot become 65534>");
        }
        if (::access(path.c_str(), R_OK) != 0) {
            return self.say("<unreachable>");
        }
        SqliteRegistry unreadable(temp.file("private.db"));
        self.say(text(unreadable, HKEY_LOCAL_MACHINE, "V"));
        SqliteRegistry reg(path);
        for (int round = 0; round < 3; ++round) {
            Handle key = 0;
            std::string line = reg.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Data", &key) == 0
                                   ? text(reg, key, "Kept")
                                   : "<cannot open>";
            for (const Status status : writeCodes(reg)) {
                line += " " + std::to_string(status);
            }
            self.say(line);
            self.hold();
        }
    });
    const std::string first = reader.heard();
    if (first == "<unreachable>" || first == "<cannot become 65534>") {
        GTEST_SKIP() << "user 65534 " << first << ": " << path;
    }
    // A store the user may not read is no empty store.
    EXPECT_EQ(first, "<code 5>");
    const std::string denied = " 5 5 5 5 5";
    EXPECT_EQ(reader.heard(), "first" + denied); // no writer about
    EXPECT_EQ(readBytes(path), before);
    storeKeeping(path, "second"); // comes and goes: its change is checkpointed into the file
    reader.resume();
    EXPECT_EQ(reader.heard(), "second" + denied);
    auto staying = storeKeeping(path, "third"); // stays: its change is in its -wal still
    reader.resume();
    EXPECT_EQ(reader.heard(), "third" + denied);
    reader.resume();
    EXPECT_EQ(reader.heard(), "<silent>"); // gone, and its connection closed
    staying.reset();
    EXPECT_EQ(entriesIn(folder), 3u);            // the store, its -wal and its -shm
    EXPECT_EQ(fs::file_size(path + "-wal"), 0u); // the last writer out emptied the log
}

// A user who may only read a machine-wide store reads it with SQLite's locking while writers come
// and go, each writing and checkpointing: every read gives a whole value, never a failure or a
// mix of two writes.
TEST(StoreFile, AReaderWithoutWriteAccessReadsWholeValuesWhileWritersCheckpoint) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root, to run the reader as the unprivileged user 65534";
    }
    // In memory, where syncing costs nothing: the writers go as fast as SQLite can.
    const EnvironmentScope memory("TMPDIR", fs::is_directory("/dev/shm") ? "/dev/shm"
                                                                         : std::getenv("TMPDIR"));
    TempFolder temp;
    const std::string path = temp.file("registry.db");
    // Spread over many pages, so that a checkpoint copying them overlaps a read of them.
    constexpr int SIZE = 1024 * 1024;
    const auto writeBig = [&](char letter) {
        SqliteRegistry reg(path);
        setBytes(reg, create(reg, "SOFTWARE\\Data"), "Big", REG_BINARY, std::string(SIZE, letter));
    }; // the last connection to close checkpoints the log into the file
    writeBig('a');
    fs::permissions(temp.path(), fs::perms(0755));
    fs::permissions(path, fs::perms(0644)); // as an administrator opens a store to every reader
    writeBig('b');

    ChildProcess writer([&](ChildProcess& self) {
        self.say("writing");
        for (int round = 0;; ++round) {
            writeBig(round % 2 == 0 ? 'a' : 'b');
            ::usleep(1000); // no writer about for a moment
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
            Handle key = 0;
            Dword size = static_cast<Dword>(data.size());
            Status status = reg.openKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Data", &key);
            if (status == ERROR_SUCCESS) {
                status = reg.queryValue(key, "Big", nullptr,
                                        reinterpret_cast<unsigned char*>(data.data()), &size);
                reg.closeKey(key);
            }
            if (status != ERROR_SUCCESS) {
                return self.say("read " + std::to_string(read) + ": code " +
                                std::to_string(status));
            }
            const std::string_view got(data.data(), size);
            if (size != SIZE || got.find_first_not_of(got.front()) != std::string_view::npos) {
                return self.say("read " + std::to_string(read) + ": a mixed value");
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
