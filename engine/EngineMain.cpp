// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "EngineMain.h"

#include "EngineProtocol.h"
#include "EngineServer.h"
#include "Session.h"
#include "SessionLink.h"

#include <cstdio>
#include <string>
#include <strings.h>
#include <unistd.h>

namespace zeb::engine {

namespace {

bool isEmbedding(const char* argument) {
    const char* name = protocol::EMBEDDING_SWITCH + 1; // after its dash
    return (*argument == '-' || *argument == '/') && strcasecmp(argument + 1, name) == 0;
}

} // namespace

int runEngine(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == SESSION_SWITCH) {
        return runSessionSide(argv[2], STDIN_FILENO, STDOUT_FILENO);
    }
    for (int i = 1; i < argc; ++i) {
        if (isEmbedding(argv[i])) {
            return runProtocolSide(STDIN_FILENO, STDOUT_FILENO);
        }
    }
    std::fprintf(stderr,
                 "orvane-engine is the terminal engine that ZEB starts; it is not run by hand.\n"
                 "Usage: orvane-engine %s       (started by ZEB, speaks on stdin/stdout)\n"
                 "       orvane-engine %s SOCKET (run inside the terminal window)\n",
                 protocol::EMBEDDING_SWITCH, SESSION_SWITCH);
    return 2;
}

} // namespace zeb::engine
