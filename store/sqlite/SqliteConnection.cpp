// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "SqliteConnection.h"

#include "UniqueFd.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeb::reg::sqlite {

namespace {

constexpr const char* MEMORY = ":memory:";
constexpr int APPLICATION_ID = 0x5A454252; // "ZEBR": marks a file as ZEB's store
constexpr int SCHEMA_VERSION = 2;
// Long enough for another ZEB process to finish any single write or an import.
constexpr int BUSY_TIMEOUT_MS = 8000;
constexpr int RETRY_PAUSE_MS = 1;

// Values keep the order they were first created in through their id (a replaced value is updated
// in place): a new row's id is one above the largest, so it sorts after every value there is.
// Stores made before kept vals' ids with AUTOINCREMENT, which orders alike and is left as it is;
// new ones do without its bookkeeping, which costs every insert a second write. Keys keep
// AUTOINCREMENT: an open handle holds a key's id, which must never name a later key. Names are
// found by their case-folded form. A key's generation moves whenever positions in its
// enumerations may shift. HKEY_LOCAL_MACHINE is the row with id 0.
constexpr const char* CREATE_TABLES = R"(
CREATE TABLE IF NOT EXISTS keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER NOT NULL,
    name BLOB NOT NULL,
    fold BLOB NOT NULL,
    generation INTEGER NOT NULL DEFAULT 0,
    UNIQUE(parent, fold));
CREATE TABLE IF NOT EXISTS vals(
    id INTEGER PRIMARY KEY,
    key INTEGER NOT NULL,
    name BLOB NOT NULL,
    fold BLOB NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key, fold));
CREATE INDEX IF NOT EXISTS vals_in_order ON vals(key, id);
INSERT INTO keys(id, parent, name, fold) VALUES(0, -1, x'', x'');
PRAGMA application_id = 1514488402;
PRAGMA user_version = 2;
)";
static_assert(APPLICATION_ID == 1514488402 && SCHEMA_VERSION == 2,
              "CREATE_TABLES spells both numbers out");

// Creates every missing folder above `path` with mode 0700.
bool makeParentFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

// Creates the store file with mode 0600 unless it exists; SQLite would create it world-readable.
bool makeStoreFile(const std::string& path) {
    const UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    return file.valid() || errno == EEXIST;
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// SQLite makes a store's -wal and -shm with the store's owner and mode. Kept in place for good,
// they would keep them after an administrator changes the store's: a store opened to every reader
// would stay closed to them, or one closed again would still be open to a former writer. A
// process that may not change them (not the owner, not root) leaves them as they are.
void alignLogFilesWithStore(const std::string& path) {
    struct stat store {};
    if (::stat(path.c_str(), &store) != 0) {
        return;
    }
    for (const char* suffix : {"-wal", "-shm"}) {
        const std::string log = path + suffix;
        struct stat info {};
        if (::lstat(log.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        if (info.st_uid != store.st_uid || info.st_gid != store.st_gid) {
            (void)::chown(log.c_str(), store.st_uid, store.st_gid);
        }
        (void)::chmod(log.c_str(), store.st_mode & 0666); // a no-op when the modes agree
    }
}

// SQLite counts every allocation under a process-wide mutex unless told not to before its first
// use; nothing in ZEB reads the counts, and they cost a large import a tenth of its time. Too late
// (SQLite already in use) it refuses, which changes nothing else.
void stopCountingMemoryOnce() {
    static const bool stopped = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    (void)stopped;
}

// What SQLite tells a reader that may not write the -shm where a writer would wait, for the
// moment it takes a writer to move on: RECOVERY, the log's index is unreadable and no writer holds
// the write lock (a writer that opened the store first empties the index before it rebuilds it, or
// has its header half-written); CANTINIT, no read mark fits the log's end and this reader may not
// set one.
bool waitsForAWriter(int rc) {
    return rc == SQLITE_READONLY_RECOVERY || rc == SQLITE_READONLY_CANTINIT;
}

// `rc`, or what `again` gives once it no longer waits for a writer, pausing between tries, for as
// long as the busy timeout: SQLite asks no busy handler for these codes. They come only as a read
// transaction begins (preparing reads the schema), before anything was read: nothing is read twice.
template <typename Again> int waitingForAWriter(int rc, Again again) {
    for (int waited = 0; waitsForAWriter(rc) && waited < BUSY_TIMEOUT_MS;
         waited += RETRY_PAUSE_MS) {
        sqlite3_sleep(RETRY_PAUSE_MS);
        rc = again();
    }
    return rc;
}

} // namespace

Status statusOf(int rc) {
    if (waitsForAWriter(rc)) {
        return ERROR_BUSY; // a writer still rebuilding the index when the busy timeout ran out
    }
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return ERROR_SUCCESS;
    case SQLITE_NOTADB:
        return ERROR_BADDB;
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
        return ERROR_REGISTRY_CORRUPT;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN:
        return ERROR_ACCESS_DENIED;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_BUSY;
    case SQLITE_FULL:
        return ERROR_DISK_FULL;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

// Prepared in the body: in the member list, prepareResult_'s initialiser would run after
// prepare() had set it, and turn a failed prepare into success.
Query::Query(Connection& connection, const char* sql) {
    statement_ = connection.prepare(sql, prepareResult_);
}

Query::~Query() {
    if (statement_ != nullptr) {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
}

Query& Query::bind(std::int64_t number) {
    sqlite3_bind_int64(statement_, ++bound_, number);
    return *this;
}

Query& Query::bind(std::string_view bytes) {
    // A null pointer would bind NULL rather than an empty BLOB.
    static const char nothing = 0;
    sqlite3_bind_blob(statement_, ++bound_, bytes.empty() ? &nothing : bytes.data(),
                      static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    return *this;
}

int Query::step() {
    if (statement_ == nullptr) {
        return prepareResult_;
    }
    return waitingForAWriter(sqlite3_step(statement_), [this] {
        sqlite3_reset(statement_);
        return sqlite3_step(statement_);
    });
}

Status Query::run() {
    int rc = step();
    while (rc == SQLITE_ROW) {
        rc = step();
    }
    return statusOf(rc);
}

std::int64_t Query::integer(int column) {
    return sqlite3_column_int64(statement_, column);
}

bool Query::isNull(int column) {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::string Query::bytes(int column) {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(statement_, column));
    const int size = sqlite3_column_bytes(statement_, column);
    return data == nullptr ? std::string() : std::string(data, static_cast<std::size_t>(size));
}

Connection::Connection(std::string path, bool readOnly)
    : path_(std::move(path)), readOnly_(readOnly) {}

Connection::~Connection() {
    close();
}

void Connection::close() {
    for (auto& [sql, statement] : statements_) {
        sqlite3_finalize(statement);
    }
    statements_.clear();
    snapshotHeld_ = false;
    sqlite3_close(db_);
    db_ = nullptr;
    hasTables_ = false;
    openedReadOnly_ = false;
}

sqlite3_stmt* Connection::prepare(const char* sql, int& rc) {
    if (db_ == nullptr) {
        rc = SQLITE_MISUSE;
        return nullptr;
    }
    if (const auto found = statements_.find(sql); found != statements_.end()) {
        rc = SQLITE_OK;
        return found->second;
    }
    sqlite3_stmt* statement = nullptr;
    const auto compile = [&] {
        return sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
    };
    rc = waitingForAWriter(compile(), compile);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    statements_.emplace(sql, statement);
    return statement;
}

// A single statement is prepared once and kept, as every query is: transaction control runs
// around each change, a million times in a large import, and parsing it anew each time cost a
// third of that import. A script of several statements goes through sqlite3_exec.
Status Connection::exec(const char* sql) {
    if (std::strchr(sql, ';') == nullptr) {
        return Query(*this, sql).run();
    }
    return statusOf(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

Status Connection::attach(bool forWrite) {
    if (forWrite && readOnly_) {
        return ERROR_ACCESS_DENIED;
    }
    Status status = ERROR_SUCCESS;
    if (db_ == nullptr) {
        status = open(forWrite);
    } else if (!hasTables_) {
        status = inspect(); // another process may have made the tables since
    }
    if (status == ERROR_SUCCESS && forWrite && readOnly()) {
        return ERROR_ACCESS_DENIED;
    }
    if (status == ERROR_SUCCESS && forWrite && !hasTables_) {
        status = createTables();
    }
    if (status != ERROR_SUCCESS && status != ERROR_ACCESS_DENIED && !inAtomic_) {
        close(); // try afresh next time: the file may be repaired or replaced by then
    }
    return status;
}

Status Connection::open(bool forWrite) {
    const bool memory = path_ == MEMORY;
    if (!memory && !fileExists(path_)) {
        if (!forWrite) {
            return ERROR_SUCCESS; // a store never written reads as empty; nothing is created
        }
        if (!makeParentFolders(path_) || !makeStoreFile(path_)) {
            return ERROR_ACCESS_DENIED;
        }
    }
    // No SQLITE_OPEN_CREATE: the file exists by now, and a vanished one must not be recreated
    // with SQLite's permissions. A file the user may not write opens read-only by itself.
    const int flags = (readOnly_ && !memory ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      (memory ? SQLITE_OPEN_CREATE : 0);
    if (const Status status = openAs(path_, flags); status != ERROR_SUCCESS) {
        return status;
    }
    openedReadOnly_ = sqlite3_db_readonly(db_, "main") == 1;
    if (!memory && !readOnly()) {
        keepLogFilesInPlace();
    }
    // A transaction whose changes outgrow the page cache spills them into the log, and every
    // later read of a spilled page searches a log that keeps growing: an import of 100,000
    // records took twice as long. The bound holds the largest import (its file is capped at
    // 64 MiB); memory is taken only as pages are used.
    exec("PRAGMA cache_size = -262144");
    return exec("PRAGMA synchronous = FULL");
}

// A reader that may not create the -wal and -shm reads through the ones a writer made, with
// SQLite's locks; so a writer leaves them in place when it closes, the log emptied.
void Connection::keepLogFilesInPlace() {
    int keep = 1;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &keep);
    exec("PRAGMA journal_size_limit = 0");
    alignLogFilesWithStore(path_);
}

// Opens `name` and tells what it holds; closed again when either fails.
Status Connection::openAs(const std::string& name, int flags) {
    // No mutex of SQLite's own around every call: a connection is used by one thread at a time
    // (RegistryBackend.h), and taking it cost a large import a tenth of its time.
    stopCountingMemoryOnce();
    const int rc = sqlite3_open_v2(name.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, BUSY_TIMEOUT_MS);
    }
    const Status status = rc == SQLITE_OK ? inspect() : statusOf(rc);
    if (status != ERROR_SUCCESS) {
        close();
    }
    return status;
}

// Tells ZEB's store (tables present), a fresh empty database (no tables yet) and anything else
// apart, reading only: a foreign file is never changed.
Status Connection::inspect() {
    Query schema(*this, "SELECT (SELECT count(*) FROM sqlite_master), "
                        "(SELECT application_id FROM pragma_application_id), "
                        "(SELECT user_version FROM pragma_user_version)");
    const int rc = schema.step();
    if (rc != SQLITE_ROW) {
        return statusOf(rc);
    }
    const std::int64_t objects = schema.integer(0);
    const std::int64_t applicationId = schema.integer(1);
    const std::int64_t version = schema.integer(2);
    if (objects == 0 && applicationId == 0) {
        hasTables_ = false;
        return ERROR_SUCCESS;
    }
    if (applicationId != APPLICATION_ID || version != SCHEMA_VERSION) {
        return ERROR_REGISTRY_CORRUPT;
    }
    hasTables_ = true;
    return ERROR_SUCCESS;
}

Status Connection::createTables() {
    if (path_ != MEMORY) {
        // Persistent in the file; switching needs no transaction of ours around it.
        Query wal(*this, "PRAGMA journal_mode = WAL");
        if (const Status status = statusOf(wal.step()); status != ERROR_SUCCESS) {
            return status;
        }
    }
    const Status status = mutate([this] {
        // Re-checked inside the write lock: another process may have been first.
        const Status seen = inspect();
        if (seen != ERROR_SUCCESS || hasTables_) {
            return seen;
        }
        return exec(CREATE_TABLES);
    });
    if (status == ERROR_SUCCESS) {
        hasTables_ = true;
    }
    return status;
}

Status Connection::beginSnapshot() {
    endSnapshot();
    // Inside a group or a runReading transaction the walk already reads one state of the store.
    if (inAtomic_ || db_ == nullptr || !sqlite3_get_autocommit(db_)) {
        return ERROR_SUCCESS;
    }
    // Deferred: the snapshot is taken by the walk's first read, right after.
    if (const Status status = exec("BEGIN"); status != ERROR_SUCCESS) {
        return status;
    }
    snapshotHeld_ = true;
    ++snapshotEpoch_;
    return ERROR_SUCCESS;
}

void Connection::endSnapshot() {
    if (snapshotHeld_) {
        snapshotHeld_ = false;
        ++snapshotEpoch_;
        exec("COMMIT"); // it read only: nothing to keep, and nothing that can fail to be kept
    }
}

Status Connection::mutate(const std::function<Status()>& change) {
    endSnapshot();
    const char* begin = inAtomic_ ? "SAVEPOINT change" : "BEGIN IMMEDIATE";
    const char* keep = inAtomic_ ? "RELEASE change" : "COMMIT";
    const char* undo = inAtomic_ ? "ROLLBACK TO change; RELEASE change" : "ROLLBACK";
    if (const Status status = exec(begin); status != ERROR_SUCCESS) {
        return status;
    }
    Status status = ERROR_SUCCESS;
    try {
        status = change();
    } catch (...) {
        ++groupEpoch_;
        exec(undo);
        throw;
    }
    if (status == ERROR_SUCCESS) {
        status = exec(keep);
    }
    if (status != ERROR_SUCCESS) {
        ++groupEpoch_;
        exec(undo);
    }
    return status;
}

Status Connection::mutateInOneStatement(const std::function<Status()>& change) {
    if (!inAtomic_) {
        return mutate(change);
    }
    return change(); // runAtomically ended the snapshot, and none begins inside a group
}

Status Connection::runAtomically(const std::function<Status()>& body) {
    if (inAtomic_) {
        return body();
    }
    endSnapshot();
    if (const Status status = attach(true); status != ERROR_SUCCESS) {
        return status;
    }
    if (const Status status = exec("BEGIN IMMEDIATE"); status != ERROR_SUCCESS) {
        return status;
    }
    inAtomic_ = true;
    ++groupEpoch_;
    Status status = ERROR_SUCCESS;
    try {
        status = body();
    } catch (...) {
        // Nothing of a group that did not finish may stay, nor may the transaction stay open
        // for the next call to find.
        inAtomic_ = false;
        exec("ROLLBACK");
        throw;
    }
    inAtomic_ = false;
    if (status == ERROR_SUCCESS) {
        status = exec("COMMIT");
    }
    if (status != ERROR_SUCCESS) {
        exec("ROLLBACK");
    }
    return status;
}

Status Connection::runReading(const std::function<Status()>& body) {
    endSnapshot(); // the reading's own transaction serves its walks
    if (inAtomic_ || attach(false) != ERROR_SUCCESS || db_ == nullptr ||
        !sqlite3_get_autocommit(db_) || exec("BEGIN") != ERROR_SUCCESS) {
        return body(); // each call then reads, and fails, on its own
    }
    // The first read starts the transaction; it ends here whatever `body` did or threw.
    struct End {
        Connection& connection;
        ~End() { connection.exec("COMMIT"); }
    } end{*this};
    return body();
}

int Connection::changes() const {
    return sqlite3_changes(db_);
}

std::uint64_t Connection::groupEpoch() const {
    return inAtomic_ && !sqlite3_get_autocommit(db_) ? groupEpoch_ : 0;
}

std::int64_t Connection::lastInsertedRow() const {
    return sqlite3_last_insert_rowid(db_);
}

std::int64_t Connection::changeCount() const {
    return db_ == nullptr ? 0 : sqlite3_total_changes64(db_);
}

} // namespace zeb::reg::sqlite
