// Several connections and processes on one store file.
#include "ChildProcess.h"
#include "RegistryProbe.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <set>

using namespace zeb::reg;
using namespace probe;
using zeb::layout::HOSTLIST_KEY;

namespace {

// A store_writer child writing `count` HostList marks <prefix><n>, saying each n once written.
void runWriter(ChildProcess& self, const std::string& store, const std::string& prefix,
               long count) {
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

// The host list, after SQLite's integrity check has passed.
std::set<std::string> hostListOf(const std::string& store) {
    sqlite3* db = nullptr;
    std::string verdict = "cannot open";
    if (sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_exec(
            db, "PRAGMA integrity_check",
            [](void* out, int, char** values, char**) {
                *static_cast<std::string*>(out) = values[0] != nullptr ? values[0] : "";
                return 0;
            },
            &verdict, nullptr);
    }
    sqlite3_close(db);
    EXPECT_EQ(verdict, "ok");
    SqliteRegistry reg(store);
    const auto names = namesOf(reg, create(reg, HOSTLIST_KEY));
    return {names.begin(), names.end()};
}

} // namespace

// Killed after a few writes, then after many, so the kill lands in varying places of a write.
TEST(StoreProcesses, TwoWritersLoseNothingAndAKilledWriterLeavesEveryAcknowledgedWrite) {
    TempFolder temp;
    const std::string store = temp.file("registry.db");
    ChildProcess first([&](ChildProcess& self) { runWriter(self, store, "first", 150); });
    ChildProcess second([&](ChildProcess& self) { runWriter(self, store, "second", 150); });
    // Both write at once whichever is heard first: a pipe holds far more than 150 lines.
    EXPECT_EQ(acknowledged(first).size(), 150u);
    EXPECT_EQ(acknowledged(second).size(), 150u);
    EXPECT_EQ(first.wait(), 0);
    EXPECT_EQ(second.wait(), 0);
    EXPECT_EQ(hostListOf(store).size(), 300u); // each name distinct: a lost write leaves fewer
    for (const std::size_t killAfter : {3u, 60u}) {
        const std::string prefix = "run" + std::to_string(killAfter) + "_";
        ChildProcess writer([&](ChildProcess& self) { runWriter(self, store, prefix, 1000000); });
        std::vector<std::string> written = acknowledged(writer, killAfter);
        ASSERT_EQ(written.size(), killAfter);
        writer.kill();
        const auto late = acknowledged(writer); // said before dying: acknowledged too
        written.insert(written.end(), late.begin(), late.end());
        EXPECT_EQ(writer.wait(), -1);
        const std::set<std::string> names = hostListOf(store);
        for (const auto& n : written) {
            EXPECT_TRUE(names.contains(prefix + n)) << prefix + n;
        }
    }
}

// A walk reads one state, or 1022 once another walk on its connection took the snapshot from it.
TEST(StoreProcesses, AWalkReadsTheOldListOrTheNewOneNeverHalfOfEach) {
    std::vector<std::string> oldList;
    std::vector<std::string> newList;
    for (int n = 0; n < 200; ++n) {
        oldList.push_back("old" + std::to_string(n));
        if (n < 150) {
            newList.push_back("new" + std::to_string(n));
        }
    }
    TempFolder temp;
    SqliteRegistry reader(temp.file("registry.db"));
    SqliteRegistry writer(temp.file("registry.db"));
    const auto fill = [&](const std::vector<std::string>& names) {
        for (const auto& name : names) {
            EXPECT_EQ(setText(writer, create(writer, HOSTLIST_KEY), name, "1"), ERROR_SUCCESS);
        }
        return ERROR_SUCCESS;
    };
    ASSERT_EQ(writer.runAtomically([&] { return fill(oldList); }), ERROR_SUCCESS);
    const Handle walking = create(reader, HOSTLIST_KEY);
    std::vector<std::string> walked;
    for (Dword index = 0; index < 100; ++index) {
        walked.push_back(valueNameAt(reader, walking, index));
    }
    ASSERT_EQ(writer.runAtomically([&] {
        for (const auto& name : oldList) {
            EXPECT_EQ(writer.deleteValue(create(writer, HOSTLIST_KEY), name), ERROR_SUCCESS);
        }
        return fill(newList);
    }),
              ERROR_SUCCESS);
    for (Dword index = 100; !walked.back().starts_with("<code "); ++index) {
        walked.push_back(valueNameAt(reader, walking, index));
    }
    EXPECT_EQ(walked.back(), "<code 259>");
    walked.pop_back();
    EXPECT_EQ(walked, oldList);
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
}
