// Cases where Wine, which runs the Windows build of the contract suite, is known to answer
// differently from Windows itself. Only the Windows run skips such a case, and only when it finds
// itself under Wine; the substitute on Linux is always held to the platform's documented answer.
#pragma once

#include <gtest/gtest.h>

#ifdef _WIN32

// Whether this process runs under Wine (its ntdll exports wine_get_version).
bool runningUnderWine();

#define SKIP_WHERE_WINE_DIFFERS(reason)                                                            \
    do {                                                                                           \
        if (runningUnderWine()) {                                                                  \
            GTEST_SKIP() << "known Wine difference: " << (reason);                                 \
        }                                                                                          \
    } while (false)

#else

#define SKIP_WHERE_WINE_DIFFERS(reason)                                                            \
    do {                                                                                           \
    } while (false)

#endif
