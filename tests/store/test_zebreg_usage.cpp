// zeb-reg's help: every way of asking shows the right page and changes nothing, every verb's page
// names each of its switches, syntax errors point at the page, and every example printed on a
// page, pasted into a shell, runs the real program against a store that holds ZEB's settings and
// host records.
#include "ForwardingBackend.h"
#include "ScratchStore.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"
#include "ZebRegHarness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

using namespace zeb::reg;
using namespace std::string_literals;

namespace {

// The switches each verb accepts; its page must explain every one of them.
const std::map<std::string, std::vector<std::string>> SWITCHES_OF_VERBS = {
    {"query", {"/v", "/ve", "/s"}},
    {"add", {"/v", "/ve", "/t", "/d", "/f"}},
    {"delete", {"/v", "/ve", "/va", "/f"}},
    {"export", {"/y"}},
    {"import", {}},
};

void put(const std::string& path, const std::string& name, const std::string& text) {
    ::put(path, name, REG_SZ, text + '\0');
}

// Settings and one host record, as the configuration dialog writes them.
void fillZebStore() {
    using namespace zeb::layout;
    put(SETTINGS_KEY, DEFAULT_TTY, "AM75G");
    put(SETTINGS_KEY, ENABLE_NR, ENABLE_NR_NO);
    put(HOSTLIST_KEY, "lab-router", HOSTLIST_MARK);
    const auto host = HOSTS_KEY + "\\lab-router"s;
    put(host, TRANSPORT, TRANSPORT_TELNET);
    put(host, ADDRESS, "10.1.2.3");
    put(host, PORT, "23");
}

// The command lines under "Examples:", as a user would paste them into a shell.
std::vector<std::string> examplesOf(const std::string& page) {
    std::vector<std::string> examples;
    std::istringstream lines(page.substr(page.find("\nExamples:\n")));
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("  zeb-reg ")) {
            examples.push_back(line.substr(2));
        }
    }
    return examples;
}

} // namespace

TEST(ZebRegUsage, EveryWayOfAskingShowsThePageAndChangesNothing) {
    ScratchStore store;
    fillZebStore();
    const auto overview = zebReg({"/?"});
    EXPECT_EQ(overview.status, 0);
    EXPECT_EQ(overview.err, "");
    EXPECT_TRUE(overview.out.starts_with("zeb-reg OPERATION")) << overview.out;
    for (const auto& [verb, switches] : SWITCHES_OF_VERBS) {
        EXPECT_NE(overview.out.find(verb), std::string::npos) << verb;
    }
    for (const auto& ask : {"-h", "--help", "-?", "--HELP", "-H"}) {
        EXPECT_EQ(zebReg({ask}).out, overview.out) << ask;
    }

    std::set<std::string> pages{overview.out};
    for (const auto& [verb, switches] : SWITCHES_OF_VERBS) {
        const auto page = zebReg({verb, "/?"});
        EXPECT_EQ(page.status, 0) << verb;
        EXPECT_EQ(page.err, "") << verb;
        EXPECT_TRUE(page.out.starts_with("zeb-reg " + verb + " ")) << page.out;
        for (const auto& name : switches) {
            EXPECT_NE(page.out.find("\n  " + name + " "), std::string::npos) << verb << ' ' << name;
        }
        EXPECT_NE(page.out.find("Return code:"), std::string::npos) << verb;
        EXPECT_FALSE(examplesOf(page.out).empty()) << verb;
        for (const auto& ask : {"-h", "--help"}) {
            EXPECT_EQ(zebReg({verb, ask}).out, page.out) << verb << ' ' << ask;
        }
        pages.insert(page.out);
    }
    EXPECT_EQ(pages.size(), SWITCHES_OF_VERBS.size() + 1) << "a verb shows another's page";
    EXPECT_EQ(zebReg({"IMPORT", "/?"}).out, zebReg({"import", "/?"}).out);

    // Help right after the verb wins over everything that follows: nothing is deleted.
    const auto host = "HKLM\\"s + zeb::layout::HOSTS_KEY + "\\lab-router";
    EXPECT_EQ(zebReg({"delete", "--help", host, "/f"}).status, 0);
    EXPECT_EQ(zebReg({"query", host, "/v", zeb::layout::ADDRESS}).status, 0);
    // A help word elsewhere is not a request for help: here it is the name of a value.
    EXPECT_EQ(zebReg({"query", host, "/v", "-h"}).status, 1);
}

TEST(ZebRegUsage, ASyntaxErrorPointsAtThePageOfItsVerb) {
    ScratchStore store;
    const auto badSwitch = zebReg({"query", "HKLM\\SOFTWARE", "/x"});
    EXPECT_EQ(badSwitch.status, 1);
    EXPECT_NE(badSwitch.err.find("\nUsage: zeb-reg query KEY [/v NAME | /ve] [/s]\n"
                                 "Type \"zeb-reg query /?\" for help.\n"),
              std::string::npos)
        << badSwitch.err;
    EXPECT_EQ(badSwitch.out, "");

    const auto missingFile = zebReg({"Export", "HKLM"});
    EXPECT_NE(missingFile.err.find("Type \"zeb-reg export /?\" for help."), std::string::npos)
        << missingFile.err;
    for (const auto& args : {std::vector<std::string>{}, {"frob", "/?"}, {"/help"}}) {
        const auto outcome = zebReg(args);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_NE(outcome.err.find("Type \"zeb-reg /?\" for help."), std::string::npos)
            << outcome.err;
    }
    // A mistake that is no syntax error needs no reminder.
    const auto missingKey = zebReg({"query", "HKLM\\SOFTWARE\\Missing"});
    EXPECT_EQ(missingKey.status, 1);
    EXPECT_EQ(missingKey.err.find("Usage:"), std::string::npos) << missingKey.err;
}

TEST(ZebRegUsage, EveryExampleOnEveryPageRunsInAShell) {
    TempFolder folder;
    // Help is shown without opening the store.
    const Outcome help = inShell(folder, folder.file("none.db"), "zeb-reg import --help");
    expectSuccess(help);
    EXPECT_TRUE(help.out.starts_with("zeb-reg import FILE\n")) << help.out;
    EXPECT_FALSE(std::filesystem::exists(folder.file("none.db"))) << "asking for help made a store";
    // In this order the export example writes the file that the import example then reads into an
    // empty store.
    for (const std::string verb : {"", "query", "add", "delete", "export", "import"}) {
        const auto store = folder.file(verb + "registry.db");
        std::string page;
        {
            BackendScope<SqliteRegistry> filling(store); // closed before the examples run
            if (verb != "import") {
                fillZebStore();
            }
            page = zebReg(verb.empty() ? std::vector<std::string>{"/?"}
                                       : std::vector<std::string>{verb, "/?"})
                       .out;
        }
        for (const auto& example : examplesOf(page)) {
            const Outcome outcome = inShell(folder, store, example);
            EXPECT_EQ(outcome.status, 0) << example << '\n' << outcome.out << outcome.err;
        }
        if (verb == "import") {
            BackendScope<SqliteRegistry> imported(store);
            const auto address =
                zebReg({"query", "HKLM\\"s + zeb::layout::HOSTS_KEY + "\\lab-router", "/v",
                        zeb::layout::ADDRESS});
            EXPECT_NE(address.out.find("10.1.2.3"), std::string::npos) << address.err;
        }
    }
}
