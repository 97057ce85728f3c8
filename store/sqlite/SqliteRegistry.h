// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The registry substitute: a durable SQLite store that answers the registry operations with the
// platform's codes. See RegistryBackend.h for the contract; this header only adds how to make
// one.
//
// Durability: WAL journal, synchronous=FULL, one BEGIN IMMEDIATE transaction per mutation and a
// busy timeout of several seconds, so two processes writing at once both succeed. A file that is
// not a valid store gives 1009/1015 and is never overwritten; a file or folder that cannot be
// written gives 5 on writes and is still read, so a machine-wide store may be shared read-only
// (root's file, mode 0644, in root's folder). The folder is created on first write with mode
// 0700, the file with 0600.
//
// HARDWARE\DEVICEMAP\SERIALCOMM is not stored: it is computed from <sysfsRoot>/class/tty each time
// it is opened (serial ports with a driver; ttyS ports of unknown UART type left out), sorted by
// device path, and read-only (writes give 5); DeviceMap.h lays it over the stored tree. Where the
// store file and sysfs are by default, and the back end this platform makes, is StoreLocation.h.
#pragma once

#include "RegistryBackend.h"
#include "SysfsSerialPorts.h"

#include <memory>
#include <string>

namespace zeb::reg {

// Not final: a test derives from it to bend one operation of an in-memory store.
class SqliteRegistry : public RegistryBackend {
public:
    struct Options {
        bool readOnly = false;              // every write gives 5; the file is opened read-only
        std::string sysfsRoot = SYSFS_ROOT; // where the serial device map is computed from
    };

    // `path` ":memory:" makes a private in-memory store (tests). Nothing is opened until first use.
    // (Two constructors rather than a default argument: Options is not complete until the class
    // is.)
    explicit SqliteRegistry(std::string path);
    SqliteRegistry(std::string path, Options options);
    ~SqliteRegistry() override;

    // How many handles are open now. ZEB closes every key it opens, so a count that does not come
    // back to 0 once its work is done shows a leak (the dialogs' and zeb-reg's tests check it).
    std::size_t openHandleCount() const;

    Status openKey(Handle parent, const std::string& subKey, Handle* result) override;
    Status createKey(Handle parent, const std::string& subKey, Dword options, Dword samDesired,
                     Handle* result) override;
    Status closeKey(Handle key) override;
    Status queryValue(Handle key, const std::string& name, Dword* type, unsigned char* data,
                      Dword* cbData) override;
    Status setValue(Handle key, const std::string& name, Dword type, const unsigned char* data,
                    Dword cbData) override;
    Status enumValue(Handle key, Dword index, char* name, Dword* cchName, Dword* type,
                     unsigned char* data, Dword* cbData) override;
    Status valueSummaries(Handle key, std::vector<ValueSummary>& values) override;
    Status enumKey(Handle key, Dword index, char* name, Dword* cchName) override;
    Status deleteValue(Handle key, const std::string& name) override;
    Status deleteKey(Handle key, const std::string& subKey) override;
    Status runAtomically(const std::function<Status()>& body) override;
    Status runReading(const std::function<Status()>& body) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zeb::reg
