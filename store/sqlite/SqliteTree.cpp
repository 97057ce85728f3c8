// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "SqliteTree.h"

#include "Cp1252.h"

#include <sqlite3.h>

namespace zeb::reg::sqlite {

namespace {

// A row that the query found, or 1018 / the file's failure when it found none.
Status rowOrGone(int rc) {
    if (rc == SQLITE_ROW) {
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_KEY_DELETED : statusOf(rc);
}

} // namespace

// Both queries of a walk answer up to CHUNK_ROWS rows: column 0 the key's generation, then the
// item, all NULL in a single row when there is none. `after` takes the current row's position and
// the key; `at` the key and an index, and gives no row at all when the index is past the end or
// the key is gone.
struct Tree::WalkQueries {
    const char* after;
    const char* at;
};

// Bounds the memory the lookups of one write group take: past it they start afresh.
constexpr std::size_t MAX_REMEMBERED_CHILDREN = 4096;

bool Tree::lookupsTrusted() {
    const std::uint64_t epoch = connection_.groupEpoch();
    if (epoch != lookupEpoch_ || children_.size() > MAX_REMEMBERED_CHILDREN) {
        lookupEpoch_ = epoch;
        forgetLookups();
    }
    return epoch != 0;
}

void Tree::forgetLookups() {
    children_.clear();
    existing_ = -1;
}

Status Tree::keyExists(KeyId key) {
    if (lookupsTrusted() && key == existing_) {
        return ERROR_SUCCESS;
    }
    Query exists(connection_, "SELECT 1 FROM keys WHERE id = ?");
    const Status status = rowOrGone(exists.bind(key).step());
    if (status == ERROR_SUCCESS) {
        existing_ = key;
    }
    return status;
}

Status Tree::findChild(KeyId parent, const std::string& name, KeyId& child) {
    std::pair<KeyId, std::string> place{parent, foldCp1252(name)};
    const bool trusted = lookupsTrusted();
    if (const auto found = children_.find(place); trusted && found != children_.end()) {
        child = found->second;
        return ERROR_SUCCESS;
    }
    Query find(connection_, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
    const int rc = find.bind(parent).bind(place.second).step();
    if (rc == SQLITE_ROW) {
        child = find.integer(0);
        if (trusted) {
            children_.emplace(std::move(place), child);
        }
        return ERROR_SUCCESS;
    }
    if (rc != SQLITE_DONE) {
        return statusOf(rc);
    }
    const Status parentStatus = keyExists(parent);
    return parentStatus == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : parentStatus;
}

Status Tree::addChild(KeyId parent, const std::string& name, KeyId& child) {
    // Not RETURNING: it collects the row in a temporary table, at a cost an import pays per key.
    Query insert(connection_, "INSERT INTO keys(parent, name, fold) VALUES(?, ?, ?)");
    if (const Status status = insert.bind(parent).bind(name).bind(foldCp1252(name)).run();
        status != ERROR_SUCCESS) {
        return status;
    }
    child = connection_.lastInsertedRow();
    existing_ = child; // read only while lookupsTrusted(), which forgets it when a group begins
    return bumpGeneration(parent);
}

Status Tree::depthOf(KeyId key, std::size_t& depth) {
    // Counts the key and its ancestors up to the root's parent (-1). The LIMIT keeps a store whose
    // parents loop (written by another program) from looping here.
    static_assert(MAX_TREE_DEPTH < 100000);
    Query up(connection_, "WITH RECURSIVE above(id) AS (SELECT parent FROM keys WHERE id = ? "
                          "UNION ALL SELECT k.parent FROM keys k JOIN above a ON k.id = a.id "
                          "LIMIT 100000) SELECT count(*) FROM above");
    const int rc = up.bind(key).step();
    if (rc != SQLITE_ROW) {
        return statusOf(rc);
    }
    const std::int64_t count = up.integer(0);
    if (count == 0) {
        return ERROR_KEY_DELETED;
    }
    depth = static_cast<std::size_t>(count - 1);
    return ERROR_SUCCESS;
}

Status Tree::deleteKey(KeyId key) {
    forgetLookups(); // the key may be among them
    Query children(connection_, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
    const int rc = children.bind(key).step();
    if (rc == SQLITE_ROW) {
        return ERROR_ACCESS_DENIED;
    }
    if (rc != SQLITE_DONE) {
        return statusOf(rc);
    }
    Query parentOf(connection_, "SELECT parent FROM keys WHERE id = ?");
    if (const Status status = rowOrGone(parentOf.bind(key).step()); status != ERROR_SUCCESS) {
        return status;
    }
    if (const Status status = bumpGeneration(parentOf.integer(0)); status != ERROR_SUCCESS) {
        return status;
    }
    Query values(connection_, "DELETE FROM vals WHERE key = ?");
    if (const Status status = values.bind(key).run(); status != ERROR_SUCCESS) {
        return status;
    }
    Query remove(connection_, "DELETE FROM keys WHERE id = ?");
    return remove.bind(key).run();
}

Status Tree::value(KeyId key, const std::string& name, Dword& type, std::string& data) {
    // One statement answers both questions: is the key there, and does it hold the value.
    Query find(connection_, "SELECT v.type, v.data FROM keys k "
                            "LEFT JOIN vals v ON v.key = k.id AND v.fold = ? WHERE k.id = ?");
    if (const Status status = rowOrGone(find.bind(foldCp1252(name)).bind(key).step());
        status != ERROR_SUCCESS) {
        return status;
    }
    if (find.isNull(0)) {
        return ERROR_FILE_NOT_FOUND;
    }
    type = static_cast<Dword>(find.integer(0));
    data = find.bytes(1);
    return ERROR_SUCCESS;
}

Status Tree::setValue(KeyId key, const std::string& name, Dword type, std::string_view data) {
    if (const Status status = keyExists(key); status != ERROR_SUCCESS) {
        return status;
    }
    // A new value takes the next id and so goes to the end (no walk's positions move); a value of
    // that name is replaced in place. Plain statements, as an import sets a million values: one
    // that can only fail before it writes needs no statement journal, which would copy every page
    // it touches (an upsert, or an insert from a select, would).
    const std::string fold = foldCp1252(name);
    Query insert(connection_,
                 "INSERT INTO vals(key, name, fold, type, data) VALUES(?, ?, ?, ?, ?)");
    const int rc =
        insert.bind(key).bind(name).bind(fold).bind(std::int64_t{type}).bind(data).step();
    if (rc != SQLITE_CONSTRAINT_UNIQUE) {
        return statusOf(rc);
    }
    Query replace(connection_, "UPDATE vals SET type = ?, data = ? WHERE key = ? AND fold = ?");
    return replace.bind(std::int64_t{type}).bind(data).bind(key).bind(fold).run();
}

Status Tree::deleteValue(KeyId key, const std::string& name) {
    Query remove(connection_, "DELETE FROM vals WHERE key = ? AND fold = ?");
    if (const Status status = remove.bind(key).bind(foldCp1252(name)).run();
        status != ERROR_SUCCESS) {
        return status;
    }
    if (connection_.changes() == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    return bumpGeneration(key);
}

template <typename Row> void Tree::endWalk(Cursor<Row>& cursor) {
    cursor.index.reset();
    if (cursor.snapshot != 0 && cursor.snapshot == connection_.snapshotEpoch()) {
        connection_.endSnapshot();
    }
}

Status Tree::bumpGeneration(KeyId key) {
    Query bump(connection_, "UPDATE keys SET generation = generation + 1 WHERE id = ?");
    return bump.bind(key).run();
}

template <typename Row, typename Read>
Status Tree::takeRows(Query& rows, Dword index, Cursor<Row>& cursor, Read read) {
    if (rows.isNull(1)) {
        endWalk(cursor);
        return ERROR_NO_MORE_ITEMS;
    }
    cursor.index = index;
    cursor.generation = rows.integer(0);
    cursor.ownChanges = connection_.changeCount();
    cursor.current = read(rows);
    cursor.ahead.clear();
    cursor.next = 0;
    int rc = rows.step();
    for (; rc == SQLITE_ROW; rc = rows.step()) {
        cursor.ahead.push_back(read(rows));
    }
    return statusOf(rc);
}

template <typename Row, typename Read, typename BindPosition>
Status Tree::rowAt(KeyId key, Dword index, Cursor<Row>& cursor, const WalkQueries& sql, Read read,
                   BindPosition bindPosition) {
    const bool following = cursor.index && index == *cursor.index + 1 &&
                           cursor.ownChanges == connection_.changeCount();
    if (following && cursor.next < cursor.ahead.size()) {
        cursor.current = std::move(cursor.ahead[cursor.next++]);
        cursor.index = index;
        return ERROR_SUCCESS;
    }
    if (following) {
        // In the walk's own snapshot the generation cannot have moved; outside it, it shows
        // whether the rows still to come belong with those already answered.
        Query after(connection_, sql.after);
        bindPosition(after, cursor.current);
        if (const Status status = rowOrGone(after.bind(key).step()); status != ERROR_SUCCESS) {
            endWalk(cursor);
            return status;
        }
        if (after.integer(0) == cursor.generation) {
            return takeRows(after, index, cursor, read);
        }
        endWalk(cursor);
        return ERROR_KEY_CHANGED_IN_WALK;
    }
    // A walk starts here, or starts over after this process's own change.
    if (const Status status = connection_.beginSnapshot(); status != ERROR_SUCCESS) {
        return status;
    }
    cursor.snapshot = connection_.snapshotEpoch();
    Query at(connection_, sql.at);
    const int rc = at.bind(key).bind(std::int64_t{index}).step();
    if (rc == SQLITE_DONE) {
        endWalk(cursor);
        const Status status = keyExists(key);
        return status == ERROR_SUCCESS ? ERROR_NO_MORE_ITEMS : status;
    }
    if (rc != SQLITE_ROW) {
        return statusOf(rc);
    }
    return takeRows(at, index, cursor, read);
}

// CHUNK_ROWS is spelt out in the queries below.
static_assert(CHUNK_ROWS == 64);

Status Tree::valueAt(KeyId key, Dword index, ValueCursor& cursor, StoredValue& found) {
    static constexpr WalkQueries VALUES = {
        "SELECT k.generation, v.id, v.name, v.type, v.data FROM keys k "
        "LEFT JOIN vals v ON v.key = k.id AND v.id > ? WHERE k.id = ? ORDER BY v.id LIMIT 64",
        "SELECT k.generation, v.id, v.name, v.type, v.data FROM keys k "
        "LEFT JOIN vals v ON v.key = k.id WHERE k.id = ? ORDER BY v.id LIMIT 64 OFFSET ?"};
    const auto read = [](Query& row) {
        return ValueRow{row.integer(1),
                        {row.bytes(2), static_cast<Dword>(row.integer(3)), row.bytes(4)}};
    };
    const auto bindPosition = [](Query& query, const ValueRow& row) { query.bind(row.id); };
    const Status status = rowAt(key, index, cursor, VALUES, read, bindPosition);
    if (status == ERROR_SUCCESS) {
        found = cursor.current.value;
    }
    return status;
}

Status Tree::valueSummaries(KeyId key, std::vector<RegistryBackend::ValueSummary>& values) {
    values.clear();
    if (const Status status = keyExists(key); status != ERROR_SUCCESS) {
        return status;
    }
    Query rows(connection_, "SELECT name, length(data) FROM vals WHERE key = ? ORDER BY id");
    int rc = rows.bind(key).step();
    for (; rc == SQLITE_ROW; rc = rows.step()) {
        values.push_back({rows.bytes(0), static_cast<Dword>(rows.integer(1))});
    }
    return statusOf(rc);
}

Status Tree::subkeyAt(KeyId key, Dword index, SubkeyCursor& cursor, std::string& name) {
    static constexpr WalkQueries SUBKEYS = {
        "SELECT k.generation, c.fold, c.name FROM keys k LEFT JOIN keys c "
        "ON c.parent = k.id AND c.fold > ? WHERE k.id = ? ORDER BY c.fold LIMIT 64",
        "SELECT k.generation, c.fold, c.name FROM keys k LEFT JOIN keys c "
        "ON c.parent = k.id WHERE k.id = ? ORDER BY c.fold LIMIT 64 OFFSET ?"};
    const auto read = [](Query& row) { return SubkeyRow{row.bytes(1), row.bytes(2)}; };
    const auto bindPosition = [](Query& query, const SubkeyRow& row) { query.bind(row.fold); };
    const Status status = rowAt(key, index, cursor, SUBKEYS, read, bindPosition);
    if (status == ERROR_SUCCESS) {
        name = cursor.current.name;
    }
    return status;
}

Status Tree::subkeysBefore(KeyId key, const std::string& fold, Dword& count) {
    Query before(connection_, "SELECT count(*) FROM keys WHERE parent = ? AND fold < ?");
    const int rc = before.bind(key).bind(fold).step();
    if (rc != SQLITE_ROW) {
        return statusOf(rc);
    }
    count = static_cast<Dword>(before.integer(0));
    return ERROR_SUCCESS;
}

} // namespace zeb::reg::sqlite
