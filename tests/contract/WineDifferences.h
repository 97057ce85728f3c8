// Where Wine, which runs the Windows build of the contract, answers otherwise than Windows: only
// that run skips such a case, and only under Wine; the substitute is always held to Windows'
// answer.
#pragma once

#include <gtest/gtest.h>

#ifdef _WIN32
bool runningUnderWine(); // its ntdll exports wine_get_version
#define SKIP_WHERE_WINE_DIFFERS(reason)                                                            \
    if (runningUnderWine())                                                                        \
    GTEST_SKIP() << "known Wine difference: " << (reason)
#else
#define SKIP_WHERE_WINE_DIFFERS(reason) static_cast<void>(0)
#endif
