// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The SQLite file under the registry substitute: how it is found, opened, checked, created and
// changed. SqliteRegistry speaks registry; this speaks SQLite and turns its failures into codes.
#pragma once

#include "RegistryBackend.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace zeb::reg::sqlite {

// The registry code for an SQLite result (SQLITE_OK, _ROW and _DONE are success).
Status statusOf(int rc);

class Connection;

// One cached prepared statement in use: bind, step, read columns; reset when the scope ends so no
// read transaction outlives the call.
class Query {
public:
    Query(Connection& connection, const char* sql);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(std::int64_t number);
    Query& bind(std::string_view bytes); // as a BLOB: names and data are bytes, not UTF-8
    // SQLITE_ROW, SQLITE_DONE or the failure (a failed prepare included).
    int step();
    // Steps to the end; the registry code of the outcome.
    Status run();
    std::int64_t integer(int column);
    bool isNull(int column);
    std::string bytes(int column);

private:
    sqlite3_stmt* statement_ = nullptr;
    int prepareResult_ = 0;
    int bound_ = 0;
};

class Connection {
public:
    Connection(std::string path, bool readOnly);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Makes the store usable. For reading, a file that does not exist yet, or exists without
    // ZEB's tables, succeeds with hasTables() false and creates nothing: it reads as an empty
    // store. For writing, the folder (0700), file (0600) and tables are created when missing.
    // A file that is not ZEB's store gives 1009/1015 and is left untouched.
    //
    // A store the user may read but not change (a machine-wide one) is still read, with SQLite's
    // locking: SQLite opens an unwritable file read-only by itself, and reads it through the -wal
    // and -shm that every connection able to write keeps in place (made with the store's owner and
    // mode, and brought back in line with them when an administrator has changed those). A store
    // whose -wal and -shm are missing, and cannot be made in a folder the user may not write,
    // gives 5 until a writer has opened it once. Writes through such a connection give 5. Such a
    // reader cannot rebuild the log's index: while a writer does, its reads wait for it as for a
    // lock, up to the busy timeout (then 170).
    Status attach(bool forWrite);
    bool hasTables() const { return hasTables_; }
    // Writes give 5: asked for, or the file could only be opened for reading.
    bool readOnly() const { return readOnly_ || openedReadOnly_; }

    // Runs `change` as one transaction (BEGIN IMMEDIATE ... COMMIT), or, inside runAtomically, as
    // a savepoint of the outer one; anything it did is undone when it returns non-zero or throws.
    Status mutate(const std::function<Status()>& change);
    // As mutate, for a change that a single statement makes (others may read before it): SQLite
    // undoes a failed statement whole, so inside runAtomically it needs no savepoint, which would
    // cost an import of a million values a copy of every page each value touches.
    Status mutateInOneStatement(const std::function<Status()>& change);
    // One transaction around `body`, rolled back when `body` returns non-zero or throws (the
    // exception then goes on to the caller).
    Status runAtomically(const std::function<Status()>& body);
    // One read transaction around `body` (RegistryBackend::runReading); inside runAtomically, or
    // on a store not yet made, `body` simply runs.
    Status runReading(const std::function<Status()>& body);

    // A read transaction held across calls, so that a walk by index reads one state of the store
    // from its start to its end while other processes write: begun when a walk starts (ending any
    // held before), ended by endSnapshot(), by any change through this connection, or by close.
    // Inside runAtomically the group's own transaction already is one state: nothing is begun.
    // Every begin and end moves snapshotEpoch(), so a walk can tell whether the snapshot it
    // began is still the one held (0 while none is).
    Status beginSnapshot();
    void endSnapshot();
    std::uint64_t snapshotEpoch() const { return snapshotHeld_ ? snapshotEpoch_ : 0; }

    // Names the span in which what this connection has read of the store stays true but for its
    // own changes: a write group (runAtomically) holds the write lock, so no other process
    // changes anything before it ends. Moves when a group begins, and when a change inside one is
    // undone; 0 outside a group, and once SQLite has given up the group's transaction.
    std::uint64_t groupEpoch() const;

    // The rows changed by the last INSERT, UPDATE or DELETE.
    int changes() const;
    // The id of the row the last successful INSERT added.
    std::int64_t lastInsertedRow() const;
    // Moves whenever this connection changes a row.
    std::int64_t changeCount() const;

private:
    friend class Query;
    sqlite3_stmt* prepare(const char* sql, int& rc);

    Status open(bool forWrite);
    Status openAs(const std::string& name, int flags);
    void keepLogFilesInPlace();
    Status inspect();
    Status createTables();
    Status exec(const char* sql);
    void close();

    std::string path_;
    bool readOnly_;
    bool openedReadOnly_ = false;
    sqlite3* db_ = nullptr;
    bool hasTables_ = false;
    bool inAtomic_ = false;
    bool snapshotHeld_ = false;
    std::uint64_t snapshotEpoch_ = 0;
    std::uint64_t groupEpoch_ = 0;
    std::unordered_map<const char*, sqlite3_stmt*> statements_;
};

} // namespace zeb::reg::sqlite
