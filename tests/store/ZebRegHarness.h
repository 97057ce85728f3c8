// Running zeb-reg in tests: its entry point on the process-wide store, or the real program in a
// shell; either answers with the exit status and what went to each stream.
#pragma once

#include "RegistryProbe.h"
#include "TempFolder.h"
#include "ZebReg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// zeb-reg's entry point on the process-wide store; `input` is what its user types, at a terminal
// when `interactive`.
inline Outcome zebReg(const std::vector<std::string>& args, const std::string& input = {},
                      bool interactive = false) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    zeb::regtool::Console console{in, out, err, interactive};
    const int status = zeb::regtool::runZebReg(zeb::reg::backend(), args, console);
    return {status, out.str(), err.str()};
}

// Runs `commandLine` with bash in `folder`, no input, the built zeb-reg first on the PATH and
// `store` as its store; stopped after 30 seconds.
inline Outcome inShell(const TempFolder& folder, const std::string& store,
                       const std::string& commandLine) {
    const std::string programFolder = std::filesystem::path(ZEB_REG_PROGRAM).parent_path();
    writeBytes(folder.file("command.sh"), "cd '" + folder.path().string() + "' || exit 99\n" +
                                              "export ZEB_REGISTRY='" + store + "'\n" +
                                              "export PATH='" + programFolder + "':\"$PATH\"\n" +
                                              commandLine + "\n");
    const std::string run = "timeout 30 bash '" + folder.file("command.sh") + "' </dev/null >'" +
                            folder.file("out.txt") + "' 2>'" + folder.file("err.txt") + "'";
    const int status = std::system(run.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(folder.file("out.txt")),
            readBytes(folder.file("err.txt"))};
}

inline void expectSuccess(const Outcome& outcome) {
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
}

// Exit status 1 and one error on the error stream that says `fragment`.
inline void expectError(const Outcome& outcome, const std::string& fragment) {
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.starts_with("ERROR: ")) << outcome.err;
    EXPECT_NE(outcome.err.find(fragment), std::string::npos) << outcome.err;
}

// Writes a value straight into the process-wide store (key path below HKEY_LOCAL_MACHINE).
inline void put(const std::string& path, const std::string& name, zeb::reg::Dword type,
                const std::string& data) {
    const auto key = probe::create(zeb::reg::backend(), path);
    ASSERT_EQ(probe::setBytes(zeb::reg::backend(), key, name, type, data), 0) << path;
    zeb::reg::backend().closeKey(key);
}
