// Several ZEB processes on one store file: simultaneous writers, and a writer killed mid-write.
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

namespace {

// A store_writer child, writing `count` marks named <prefix><n> and saying each n once written.
void runWriter(ChildProcess& self, const std::string& store, const std::string& prefix,
               long count) {
    ::dup2(self.toTest(), STDOUT_FILENO);
    const std::string countText = std::to_string(count);
    ::execl(STORE_WRITER, STORE_WRITER, store.c_str(), prefix.c_str(), countText.c_str(), nullptr);
}

// The numbers a writer said, up to `enough` of them or to its end.
std::vector<long> acknowledged(ChildProcess& writer, std::size_t enough = SIZE_MAX) {
    std::vector<long> numbers;
    for (std::string line; numbers.size() < enough && (line = writer.heard()) != "<silent>";) {
        numbers.push_back(std::stol(line));
    }
    return numbers;
}

std::set<std::string> hostListOf(const std::string& store) {
    SqliteRegistry reg(store);
    const auto names = probe::valueNames(reg, probe::create(reg, zeb::layout::HOSTLIST_KEY));
    return {names.begin(), names.end()};
}

std::string integrityOf(const std::string& store) {
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
    return verdict;
}

} // namespace

TEST(StoreProcesses, TwoWritersAtOnceBothSucceedAndNothingIsLost) {
    TempFolder temp;
    const std::string store = temp.file("registry.db");
    constexpr long EACH = 150;
    ChildProcess first([&](ChildProcess& self) { runWriter(self, store, "first", EACH); });
    ChildProcess second([&](ChildProcess& self) { runWriter(self, store, "second", EACH); });
    ASSERT_TRUE(first.started() && second.started());
    // Both write at once whichever is heard first: a pipe holds far more than 150 lines.
    EXPECT_EQ(acknowledged(first).size(), static_cast<std::size_t>(EACH));
    EXPECT_EQ(acknowledged(second).size(), static_cast<std::size_t>(EACH));
    EXPECT_EQ(first.wait(), 0);
    EXPECT_EQ(second.wait(), 0);

    // Each writer's names are its own and distinct: one lost write leaves fewer.
    EXPECT_EQ(hostListOf(store).size(), static_cast<std::size_t>(2 * EACH));
    EXPECT_EQ(integrityOf(store), "ok");
}

TEST(StoreProcesses, AWriterKilledMidWriteLeavesEveryAcknowledgedWrite) {
    TempFolder temp;
    const std::string store = temp.file("registry.db");
    // Killed after a few writes, then after many: the kill lands in varying places of a write.
    for (const std::size_t killAfter : {3u, 25u, 60u}) {
        SCOPED_TRACE(killAfter);
        const std::string prefix = "run" + std::to_string(killAfter) + "_";
        ChildProcess writer([&](ChildProcess& self) { runWriter(self, store, prefix, 1000000); });
        ASSERT_TRUE(writer.started());
        std::vector<long> written = acknowledged(writer, killAfter);
        ASSERT_EQ(written.size(), killAfter);
        writer.kill();
        // Whatever it said before dying was acknowledged too.
        for (const long n : acknowledged(writer)) {
            written.push_back(n);
        }
        EXPECT_EQ(writer.wait(), -1);

        EXPECT_EQ(integrityOf(store), "ok");
        const std::set<std::string> names = hostListOf(store);
        for (const long n : written) {
            EXPECT_TRUE(names.contains(prefix + std::to_string(n))) << n;
        }
    }
    // And the store still takes writes afterwards.
    SqliteRegistry reg(store);
    EXPECT_EQ(probe::setText(reg, probe::create(reg, "SOFTWARE\\After"), "V", "x"), ERROR_SUCCESS);
}

// A walk of the host list reads one state of it: another connection replacing the list in mid-walk
// (as an import does, the key and all or value by value) leaves the walk with the old list whole,
// and the next walk from index 0 reads the new one. A walk that another walk on the same
// connection took the snapshot from answers 1022 instead of going on in a changed list.
TEST(StoreProcesses, AWalkReadsTheOldListOrTheNewOneNeverHalfOfEach) {
    using probe::valueNameAt;
    using probe::valueNames;
    const auto namesOf = [](const std::string& prefix, int count) {
        std::vector<std::string> names;
        for (int n = 0; n < count; ++n) {
            names.push_back(prefix + std::to_string(n));
        }
        return names;
    };
    const auto oldList = namesOf("old", 200);
    const auto newList = namesOf("new", 150);
    for (const bool wholeKey : {true, false}) {
        SCOPED_TRACE(wholeKey ? "key replaced" : "values replaced");
        TempFolder temp;
        const std::string store = temp.file("registry.db");
        SqliteRegistry reader(store);
        SqliteRegistry writer(store);
        const auto fill = [&](const std::vector<std::string>& names) {
            Handle list = probe::create(writer, zeb::layout::HOSTLIST_KEY);
            for (const auto& name : names) {
                EXPECT_EQ(probe::setText(writer, list, name, "1"), ERROR_SUCCESS);
            }
            writer.closeKey(list);
            return ERROR_SUCCESS;
        };
        const auto replace = [&] {
            return writer.runAtomically([&] {
                Handle list = probe::create(writer, zeb::layout::HOSTLIST_KEY);
                if (wholeKey) {
                    EXPECT_EQ(writer.deleteKey(list, ""), ERROR_SUCCESS);
                } else {
                    for (const auto& name : valueNames(writer, list)) {
                        EXPECT_EQ(writer.deleteValue(list, name), ERROR_SUCCESS);
                    }
                }
                writer.closeKey(list);
                return fill(newList);
            });
        };
        ASSERT_EQ(writer.runAtomically([&] { return fill(oldList); }), ERROR_SUCCESS);

        const Handle walking = probe::create(reader, zeb::layout::HOSTLIST_KEY);
        std::vector<std::string> walked;
        for (Dword index = 0; index < 100; ++index) {
            walked.push_back(valueNameAt(reader, walking, index));
        }
        ASSERT_EQ(replace(), ERROR_SUCCESS);
        for (Dword index = 100; !walked.back().starts_with("<code "); ++index) {
            walked.push_back(valueNameAt(reader, walking, index));
        }
        EXPECT_EQ(walked.back(), "<code 259>");
        walked.pop_back();
        EXPECT_EQ(walked, oldList);
        const Handle fresh = probe::create(reader, zeb::layout::HOSTLIST_KEY);
        EXPECT_EQ(valueNames(reader, fresh), newList);
        EXPECT_EQ(valueNameAt(reader, walking, 0), wholeKey ? "<code 1018>" : "new0");

        // Two walks at once on one connection, the list changed between them.
        EXPECT_EQ(valueNameAt(reader, fresh, 0), "new0");
        EXPECT_EQ(valueNameAt(reader, walking, 0), wholeKey ? "<code 1018>" : "new0");
        if (!wholeKey) {
            ASSERT_EQ(writer.deleteValue(probe::create(writer, zeb::layout::HOSTLIST_KEY), "new1"),
                      ERROR_SUCCESS);
            std::string name;
            for (Dword index = 1; index < newList.size() && name.empty(); ++index) {
                if (const auto at = valueNameAt(reader, fresh, index); at != newList[index]) {
                    name = at;
                }
            }
            EXPECT_EQ(name, "<code 1022>");
        }
    }
}
