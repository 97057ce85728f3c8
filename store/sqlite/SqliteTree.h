// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// ZEB's keys and values as rows of the store file: every statement that reads or changes them
// lives here. Names are Windows-1252 bytes; they are found through their case-folded form and kept
// as first written. Callers make sure the tables exist (Connection::hasTables) before calling.
#pragma once

#include "RegistryBackend.h"
#include "SqliteConnection.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::reg::sqlite {

using KeyId = std::int64_t;
inline constexpr KeyId ROOT_KEY = 0; // HKEY_LOCAL_MACHINE

struct StoredValue {
    std::string name;
    Dword type = REG_NONE;
    std::string data;
};

struct ValueRow {
    std::int64_t id = 0; // the position in first-creation order
    StoredValue value;
};

struct SubkeyRow {
    std::string fold; // the position in case-insensitive order
    std::string name;
};

// Where a walk over a key's values or subkeys stands, with the rows just after it already read.
// Walking from index 0 upwards so costs one statement per CHUNK_ROWS calls instead of a scan from
// the start at every call: statements are cheap, but each one locks and unlocks the file.
// A walk reads one state of the store: it begins the connection's snapshot where it starts, and
// ends it at its end, so another process's change shows only when the walk starts over. This
// process's own writes end the snapshot and are seen at once (the walk goes on from its index in
// the new state, as the platform's does). A walk whose snapshot another walk took over goes on
// only while its key's generation stays as it was; after a change it answers
// ERROR_KEY_CHANGED_IN_WALK rather than mix two states.
template <typename Row> struct Cursor {
    std::optional<Dword> index; // of the row last answered; none before the first or at the end
    Row current;                // the row at `index`
    std::uint64_t snapshot{};   // Connection::snapshotEpoch() when the walk began
    // Set with `index`, and read only while it is:
    std::int64_t generation{}; // of the key, when the rows were read
    std::int64_t ownChanges{}; // Connection::changeCount() when the rows were read
    std::vector<Row> ahead;    // the rows after `index`...
    std::size_t next{};        // ...of which this one comes first
};

using ValueCursor = Cursor<ValueRow>;
using SubkeyCursor = Cursor<SubkeyRow>;

inline constexpr int CHUNK_ROWS = 64;

// Every function answers with a registry code: 1018 whenever the key it is given is gone (deleted
// since a handle was opened on it), and failures of the file as Connection maps them.
class Tree {
public:
    explicit Tree(Connection& connection) : connection_(connection) {}

    Status keyExists(KeyId key);
    // 2 when `parent` has no subkey of that name.
    Status findChild(KeyId parent, const std::string& name, KeyId& child);
    Status addChild(KeyId parent, const std::string& name, KeyId& child);
    // How many keys lie on the way from HKEY_LOCAL_MACHINE down to `key` (the root's is 0).
    Status depthOf(KeyId key, std::size_t& depth);
    // 5 while the key has subkeys; its values go with it.
    Status deleteKey(KeyId key);

    // 2 when there is no value of that name.
    Status value(KeyId key, const std::string& name, Dword& type, std::string& data);
    // Replaces a value in place (its name keeps its first spelling) or adds it at the end. Only
    // one of its statements changes anything: Connection::mutateInOneStatement suffices.
    Status setValue(KeyId key, const std::string& name, Dword type, std::string_view data);
    Status deleteValue(KeyId key, const std::string& name);

    // The value at `index` in first-creation order; 259 past the last.
    Status valueAt(KeyId key, Dword index, ValueCursor& cursor, StoredValue& found);
    // Every value of `key`, in valueAt's order, by one statement.
    Status valueSummaries(KeyId key, std::vector<RegistryBackend::ValueSummary>& values);
    // The subkey at `index` in case-insensitive order; 259 past the last.
    Status subkeyAt(KeyId key, Dword index, SubkeyCursor& cursor, std::string& name);
    // How many subkeys of `key` sort before the folded name `fold`.
    Status subkeysBefore(KeyId key, const std::string& fold, Dword& count);

private:
    struct WalkQueries;
    template <typename Row, typename Read, typename BindPosition>
    Status rowAt(KeyId key, Dword index, Cursor<Row>& cursor, const WalkQueries& sql, Read read,
                 BindPosition bindPosition);
    template <typename Row, typename Read>
    Status takeRows(Query& rows, Dword index, Cursor<Row>& cursor, Read read);
    template <typename Row> void endWalk(Cursor<Row>& cursor);
    Status bumpGeneration(KeyId key);
    // Whether the lookups below may be used, forgetting them when a new span has begun.
    bool lookupsTrusted();
    void forgetLookups();

    Connection& connection_;
    // Keys known to exist and subkeys found, as read during one Connection::groupEpoch(), when
    // only this connection can delete them (deleteKey forgets them all). An import creates a
    // hundred thousand keys below the same five and sets ten values in each: without these, each
    // of those calls would look every one of them up again.
    std::uint64_t lookupEpoch_ = 0;
    std::map<std::pair<KeyId, std::string>, KeyId> children_; // by parent and folded name
    KeyId existing_ = -1;                                     // the key last seen to exist
};

} // namespace zeb::reg::sqlite
