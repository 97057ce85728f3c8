// Several ZEB processes on one store file: simultaneous writers, and a writer killed mid-write.
#include "RegistryProbe.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zeb::reg;
using namespace std::chrono_literals;

namespace {

// A store_writer child whose standard output comes back through a pipe.
class Writer {
public:
    Writer(const std::string& store, const std::string& prefix, long count) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const std::string countText = std::to_string(count);
        char* argv[] = {const_cast<char*>(STORE_WRITER), const_cast<char*>(store.c_str()),
                        const_cast<char*>(prefix.c_str()), const_cast<char*>(countText.c_str()),
                        nullptr};
        if (posix_spawn(&pid_, STORE_WRITER, &actions, nullptr, argv, environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        output_ = fds[0];
    }
    ~Writer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (output_ >= 0) {
            ::close(output_);
        }
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    bool started() const { return pid_ > 0 && output_ >= 0; }
    int output() const { return output_; }

    // Takes in what the child printed; false once its output has ended.
    bool absorb() {
        char buffer[4096];
        const ssize_t got = ::read(output_, buffer, sizeof buffer);
        if (got <= 0) {
            return false;
        }
        pending_.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end = pending_.find('\n'); end != std::string::npos;
             end = pending_.find('\n')) {
            acknowledged_.push_back(std::stol(pending_.substr(0, end)));
            pending_.erase(0, end + 1);
        }
        return true;
    }

    const std::vector<long>& acknowledged() const { return acknowledged_; }

    void kill() { ::kill(pid_, SIGKILL); }

    // The child's exit status once it has ended (-1 for a signal).
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string pending_;
    std::vector<long> acknowledged_;
};

// Reads the writers' output until each has ended, or until `enough` says stop; bounded by a
// deadline so a stuck child fails the test instead of hanging it.
template <typename Enough>
bool follow(std::vector<Writer*> writers, Enough enough, std::chrono::seconds limit = 60s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<Writer*> open = writers;
    while (!open.empty() && !enough()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        std::vector<pollfd> fds;
        for (Writer* writer : open) {
            fds.push_back({writer->output(), POLLIN, 0});
        }
        ::poll(fds.data(), fds.size(), static_cast<int>(left.count()));
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents != 0 && !open[i]->absorb()) {
                open[i] = nullptr;
            }
        }
        std::erase(open, nullptr);
    }
    return true;
}

std::set<std::string> hostListOf(const std::string& store) {
    SqliteRegistry reg(store);
    Handle key = 0;
    if (reg.openKey(HKEY_LOCAL_MACHINE, zeb::layout::HOSTLIST_KEY, &key) != ERROR_SUCCESS) {
        return {};
    }
    const auto names = probe::valueNames(reg, key);
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
    Writer first(store, "first", EACH);
    Writer second(store, "second", EACH);
    ASSERT_TRUE(first.started() && second.started());

    ASSERT_TRUE(follow({&first, &second}, [] { return false; })) << "writers did not finish";
    EXPECT_EQ(first.wait(), 0);
    EXPECT_EQ(second.wait(), 0);
    EXPECT_EQ(first.acknowledged().size(), static_cast<std::size_t>(EACH));
    EXPECT_EQ(second.acknowledged().size(), static_cast<std::size_t>(EACH));

    const std::set<std::string> names = hostListOf(store);
    EXPECT_EQ(names.size(), static_cast<std::size_t>(2 * EACH));
    for (long n = 0; n < EACH; ++n) {
        EXPECT_TRUE(names.contains("first" + std::to_string(n))) << n;
        EXPECT_TRUE(names.contains("second" + std::to_string(n))) << n;
    }
    EXPECT_EQ(integrityOf(store), "ok");
}

TEST(StoreProcesses, AWriterKilledMidWriteLeavesEveryAcknowledgedWrite) {
    TempFolder temp;
    const std::string store = temp.file("registry.db");
    // Killed after a few writes, then after many: the kill lands in varying places of a write.
    for (const std::size_t killAfter : {3u, 25u, 60u}) {
        SCOPED_TRACE(killAfter);
        const std::string prefix = "run" + std::to_string(killAfter) + "_";
        Writer writer(store, prefix, 1000000);
        ASSERT_TRUE(writer.started());
        ASSERT_TRUE(follow({&writer}, [&] { return writer.acknowledged().size() >= killAfter; }));
        writer.kill();
        // Whatever it printed before dying was acknowledged too.
        ASSERT_TRUE(follow({&writer}, [] { return false; }));
        EXPECT_EQ(writer.wait(), -1);
        ASSERT_GE(writer.acknowledged().size(), killAfter);

        EXPECT_EQ(integrityOf(store), "ok");
        const std::set<std::string> names = hostListOf(store);
        for (const long n : writer.acknowledged()) {
            EXPECT_TRUE(names.contains(prefix + std::to_string(n))) << n;
        }
    }
    // And the store still takes writes afterwards.
    SqliteRegistry reg(store);
    EXPECT_EQ(probe::setText(reg, probe::create(reg, "SOFTWARE\\After"), "V", "x"), ERROR_SUCCESS);
}
