// The one key a contract test may touch: HKEY_LOCAL_MACHINE\SOFTWARE\ZEBContractTest, empty when
// the test starts and gone when it ends. On Linux it lives in a private in-memory store for the
// test's scope; in the Windows build (run under Wine as administrator, in the scratch prefix's own
// registry) it is a real key, so leftovers of a run that died half-way are removed first too.
#pragma once

#include "CRegKey.h"

#ifndef _WIN32
#include "ScratchStore.h"
#endif

#include <gtest/gtest.h>

#include <string>

class ScratchKey {
public:
    static constexpr const char* PARENT = "SOFTWARE";
    static constexpr const char* NAME = "ZEBContractTest";

    ScratchKey() {
        removeTree();
        zeb::reg::CRegKey key;
        EXPECT_EQ(key.Create(zeb::reg::HKEY_LOCAL_MACHINE, path()), 0)
            << "cannot create " << path();
        key.CloseKey();
    }
    ~ScratchKey() { removeTree(); }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    // The full path below HKEY_LOCAL_MACHINE of `relative` below the scratch key (the scratch key
    // itself when empty).
    static std::string path(const std::string& relative = "") {
        const std::string root = std::string(PARENT) + "\\" + NAME;
        return relative.empty() ? root : root + "\\" + relative;
    }

private:
    // Removes the scratch key with everything below it; a key that is not there is no failure.
    static void removeTree() {
        const zeb::reg::Status status = removeTree(zeb::reg::HKEY_LOCAL_MACHINE, path());
        EXPECT_TRUE(status == 0 || status == zeb::reg::ERROR_FILE_NOT_FOUND)
            << "cannot remove " << path() << ": code " << status;
    }

    // Deletes `name` below `parent` depth first. Not CRegKey::RecurseDeleteKey, whose buffer holds
    // names of up to 127 characters: a test that leaves a longer one behind must not leave the
    // whole key behind for every later run on the same registry.
    static zeb::reg::Status removeTree(zeb::reg::Handle parent, const std::string& name) {
        using namespace zeb::reg;
        Handle key = 0;
        Status status = backend().openKey(parent, name, &key);
        while (status == 0) {
            char child[256];
            Dword size = sizeof child;
            status = backend().enumKey(key, 0, child, &size);
            if (status == 0) {
                status = removeTree(key, std::string(child, size));
            }
        }
        if (key != 0) {
            backend().closeKey(key);
        }
        return status == ERROR_NO_MORE_ITEMS ? backend().deleteKey(parent, name) : status;
    }

#ifndef _WIN32
    ScratchStore store_; // constructed before the body runs, so the key is made in it
#endif
};
