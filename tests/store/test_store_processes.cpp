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
