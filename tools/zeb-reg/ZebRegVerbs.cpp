// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "ZebRegVerbs.h"

#include "Cp1252.h"
#include "KeyTree.h"
#include "RegFile.h"
#include "ScopedKey.h"
#include "StoreLayout.h"
#include "WholeFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string_view>

namespace zeb::regtool {
namespace {

namespace fs = std::filesystem;
using reg::Dword;
using reg::Handle;
using reg::RegistryBackend;
using reg::Status;
using regfile::ValueEdit;

constexpr std::string_view SUCCESS = "The operation completed successfully.";
// As on the platform, whose registry refuses values on HKEY_LOCAL_MACHINE itself.
constexpr std::string_view ROOT_HOLDS_NO_VALUES =
    "access is denied: HKEY_LOCAL_MACHINE itself holds no values, only the keys below it do";
constexpr std::string_view INDENT = "    ";
constexpr std::string_view COLUMN_GAP = "    ";
constexpr std::size_t READ_CHUNK = 1 << 20;
constexpr std::uintmax_t MIB = 1024 * 1024;
// Import refuses larger files before reading them: a .reg file of the whole store is a few MiB.
constexpr std::uintmax_t MAX_IMPORT_FILE_SIZE = 64 * MIB;
// Returned from inside runAtomically when a step failed with its own message, so the store rolls
// back; the platform's "cancelled" code, never one a back end gives.
constexpr Status STOPPED_BY_COMMAND = 1223;

std::string describeStatus(Status status) {
    switch (status) {
    case reg::ERROR_FILE_NOT_FOUND:
        return "not found";
    case reg::ERROR_ACCESS_DENIED:
        return "access is denied (the store or the key is read-only, or a key still has subkeys)";
    case reg::ERROR_INVALID_PARAMETER:
        return "a name is too long";
    case reg::ERROR_BAD_PATHNAME:
        return "the key path is not valid";
    case reg::ERROR_BADDB:
    case reg::ERROR_REGISTRY_CORRUPT:
        return "the store file is not a valid store";
    case reg::ERROR_KEY_DELETED:
        return "the key was deleted meanwhile";
    default:
        return "the store answered with error " + std::to_string(status);
    }
}

void check(Status status, const std::string& doing) {
    if (status != reg::ERROR_SUCCESS) {
        fail(doing + ": " + describeStatus(status));
    }
}

// --- Names as the user sees them ---------------------------------------------------------------

std::string shownValueName(const std::string& name) {
    return name.empty() ? "(Default)" : regfile::shownText(name);
}

// --- Reading the store -------------------------------------------------------------------------

void checkOpened(Status status, const std::string& path) {
    if (status == reg::ERROR_FILE_NOT_FOUND) {
        fail("the key '" + regfile::shownKeyPath(path) + "' was not found");
    }
    check(status, "opening the key '" + regfile::shownKeyPath(path) + "'");
}

void openExisting(reg::ScopedKey& key, const std::string& path) {
    checkOpened(key.open(path), path);
}

// The values of `key`, all of them.
std::vector<reg::StoredValue> valuesOf(RegistryBackend& store, Handle key,
                                       const std::string& path) {
    std::vector<reg::StoredValue> values;
    // The message only on failure: an export reads a million values.
    if (const auto status = reg::ValueReader(store, key).all(values);
        status != reg::ERROR_SUCCESS) {
        check(status, "reading the values of '" + regfile::shownKeyPath(path) + "'");
    }
    return values;
}

// The value called `name`, or nullopt when the key has none of that name.
std::optional<reg::StoredValue> valueNamed(RegistryBackend& store, Handle key,
                                           const std::string& path, const std::string& name) {
    reg::StoredValue value;
    const auto status = reg::ValueReader(store, key).named(name, value);
    if (status == reg::ERROR_FILE_NOT_FOUND) {
        return std::nullopt;
    }
    if (status != reg::ERROR_SUCCESS) {
        check(status, "reading the value '" + shownValueName(name) + "' of '" +
                          regfile::shownKeyPath(path) + "'");
    }
    return value;
}

std::vector<std::string> subkeyNames(RegistryBackend& store, Handle key, const std::string& path) {
    std::vector<std::string> names;
    if (const auto status = reg::listSubkeys(store, key, names); status != reg::ERROR_SUCCESS) {
        check(status, "listing the subkeys of '" + regfile::shownKeyPath(path) + "'");
    }
    return names;
}

// A tree operation's failure in words naming its step and key.
void checkTree(const reg::TreeFailure& failure) {
    const auto shownPath = [&failure] { return regfile::shownKeyPath(failure.path); };
    switch (failure.step) {
    case reg::TreeStep::OpenKey:
        return checkOpened(failure.status, failure.path);
    case reg::TreeStep::ListSubkeys:
        return check(failure.status, "listing the subkeys of '" + shownPath() + "'");
    case reg::TreeStep::DeleteKey:
        return check(failure.status, "deleting the key '" + shownPath() + "'");
    }
}

// Visits `path` and every key below it, each key before its subkeys, in enumeration order;
// a key whose path is `leftOut` is passed over with everything below it.
void walkTree(RegistryBackend& store, const std::string& path, const reg::KeyVisitor& visit,
              const std::string& leftOut = {}) {
    checkTree(reg::walkKeyTree(store, path, visit, leftOut));
}

// The machine's serial device map describes its hardware: it is computed, not stored, and no
// store can take it in, so an export of the whole store leaves out the branch that holds it.
std::string computedBranch() {
    const std::string_view deviceMap = layout::SERIAL_DEVICE_MAP_KEY;
    return std::string(deviceMap.substr(0, deviceMap.find('\\')));
}

// --- Changing the store ------------------------------------------------------------------------

// Runs `body` as one transaction of the store: any failure inside it (a CommandError) rolls back
// everything `body` changed and is then reported.
void runChanges(RegistryBackend& store, const std::function<void()>& body) {
    std::optional<CommandError> stopped;
    const auto status = store.runAtomically([&]() -> Status {
        try {
            body();
            return reg::ERROR_SUCCESS;
        } catch (CommandError& error) {
            stopped = std::move(error);
            return STOPPED_BY_COMMAND;
        }
    });
    if (stopped) {
        throw *stopped;
    }
    check(status, "saving the change");
}

// Deletes `path` with everything below it (the store's one recursive delete, KeyTree.h).
void deleteTree(RegistryBackend& store, const std::string& path) {
    checkTree(reg::deleteKeyTree(store, reg::HKEY_LOCAL_MACHINE, path));
}

bool keyExists(RegistryBackend& store, const std::string& path) {
    reg::ScopedKey key(store);
    const auto status = key.open(path);
    if (status == reg::ERROR_FILE_NOT_FOUND) {
        return false;
    }
    check(status, "opening the key '" + regfile::shownKeyPath(path) + "'");
    return true;
}

Status storeValue(RegistryBackend& store, Handle key, const ValueEdit& value) {
    return store.setValue(key, value.name, value.type,
                          reinterpret_cast<const unsigned char*>(value.data.data()),
                          static_cast<Dword>(value.data.size()));
}

// --- Showing values ----------------------------------------------------------------------------

std::string typeName(Dword type) {
    static const std::map<Dword, std::string_view> names = {
        {reg::REG_NONE, "REG_NONE"},
        {reg::REG_SZ, "REG_SZ"},
        {reg::REG_EXPAND_SZ, "REG_EXPAND_SZ"},
        {reg::REG_BINARY, "REG_BINARY"},
        {reg::REG_DWORD, "REG_DWORD"},
        {reg::REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
        {reg::REG_LINK, "REG_LINK"},
        {reg::REG_MULTI_SZ, "REG_MULTI_SZ"},
        {reg::REG_RESOURCE_LIST, "REG_RESOURCE_LIST"},
        {reg::REG_FULL_RESOURCE_DESCRIPTOR, "REG_FULL_RESOURCE_DESCRIPTOR"},
        {reg::REG_RESOURCE_REQUIREMENTS_LIST, "REG_RESOURCE_REQUIREMENTS_LIST"},
        {reg::REG_QWORD, "REG_QWORD"},
    };
    if (const auto found = names.find(type); found != names.end()) {
        return std::string(found->second);
    }
    char unknown[24];
    std::snprintf(unknown, sizeof unknown, "REG_0x%X", static_cast<unsigned>(type));
    return unknown;
}

std::string hexDigits(std::string_view bytes) {
    std::string digits;
    char pair[3];
    for (const char byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(byte));
        digits += pair;
    }
    return digits;
}

std::string_view beforeNul(std::string_view data) {
    return data.substr(0, data.find('\0'));
}

// The texts of a REG_MULTI_SZ value separated by "\0", as the platform shows them.
std::string multiTextShown(std::string_view data) {
    while (data.ends_with('\0')) {
        data.remove_suffix(1);
    }
    std::string shown;
    for (std::size_t start = 0;;) {
        const auto end = data.find('\0', start);
        shown += regfile::shownText(data.substr(start, end - start));
        if (end == std::string_view::npos) {
            return shown;
        }
        shown += "\\0";
        start = end + 1;
    }
}

std::string dataShown(const reg::StoredValue& value) {
    char number[24];
    switch (value.type) {
    case reg::REG_SZ:
    case reg::REG_EXPAND_SZ:
        return regfile::shownText(beforeNul(value.data));
    case reg::REG_MULTI_SZ:
        return multiTextShown(value.data);
    case reg::REG_DWORD:
    case reg::REG_QWORD:
        if (value.data.size() == (value.type == reg::REG_DWORD ? 4u : 8u)) {
            std::snprintf(number, sizeof number, "0x%llx",
                          static_cast<unsigned long long>(regfile::littleEndianNumber(value.data)));
            return number;
        }
        [[fallthrough]];
    default:
        return hexDigits(value.data);
    }
}

// A key as the platform's reg shows it: its full name, a line for each value, an empty line.
void printKey(std::ostream& out, const std::string& path,
              const std::vector<reg::StoredValue>& values) {
    out << regfile::shownKeyPath(path) << '\n';
    for (const auto& value : values) {
        out << INDENT << shownValueName(value.name) << COLUMN_GAP << typeName(value.type)
            << COLUMN_GAP << dataShown(value) << '\n';
    }
    out << '\n';
}

// The values of one key that a query shows: all, or the one named (none when it is missing).
std::vector<reg::StoredValue> valuesShown(RegistryBackend& store, Handle key,
                                          const std::string& path,
                                          const std::optional<std::string>& name) {
    if (!name) {
        return valuesOf(store, key, path);
    }
    std::vector<reg::StoredValue> values;
    if (auto value = valueNamed(store, key, path, *name)) {
        values.push_back(std::move(*value));
    }
    return values;
}

[[noreturn]] void failValueNotFound(const std::string& name, const std::string& path) {
    fail("the value '" + shownValueName(name) + "' was not found in '" +
         regfile::shownKeyPath(path) + "'");
}

// --- The verbs ---------------------------------------------------------------------------------

// A query's output begins with an empty line, and the key asked for is shown only when it has
// values to show: the platform's reg does both, and scripts written for it count on the layout.
void queryOneKey(RegistryBackend& store, const std::string& path,
                 const std::optional<std::string>& name, std::ostream& out) {
    reg::ScopedKey key(store);
    openExisting(key, path);
    const auto values = valuesShown(store, key.get(), path, name);
    if (name && values.empty()) {
        failValueNotFound(*name, path);
    }
    out << '\n';
    if (!values.empty()) {
        printKey(out, path, values);
    }
    if (!name) {
        for (const auto& subkey : subkeyNames(store, key.get(), path)) {
            out << regfile::shownKeyPath(reg::subkeyPath(path, subkey)) << '\n';
        }
    }
}

// Every key below the one asked for is shown, with values or without, unless /v or /ve looks for
// a value it lacks. A search that finds nothing fails before anything is printed.
void queryTree(RegistryBackend& store, const std::string& path,
               const std::optional<std::string>& name, std::ostream& out) {
    if (!name) {
        out << '\n';
    }
    bool below = false; // past the key asked for
    bool found = false;
    walkTree(store, path, [&](const std::string& keyPath, Handle key) {
        const auto values = valuesShown(store, key, keyPath, name);
        if (!values.empty() || (below && !name)) {
            if (name && !found) {
                out << '\n';
            }
            printKey(out, keyPath, values);
            found = true;
        }
        below = true;
    });
    if (name && !found) {
        failValueNotFound(*name, path);
    }
}

void runQuery(RegistryBackend& store, const Invocation& invocation, Console& console) {
    const auto path = keyArgument(invocation);
    const auto name = valueArgument(invocation);
    if (invocation.has("s")) {
        queryTree(store, path, name, console.out);
    } else {
        queryOneKey(store, path, name, console.out);
    }
}

Dword typeArgument(const Invocation& invocation) {
    if (!invocation.has("t")) {
        return reg::REG_SZ;
    }
    const auto& text = invocation.valueOf("t");
    if (reg::sameIgnoringAsciiCase(text, "reg_sz")) {
        return reg::REG_SZ;
    }
    if (reg::sameIgnoringAsciiCase(text, "reg_dword")) {
        return reg::REG_DWORD;
    }
    fail("the type '" + text + "' cannot be added: zeb-reg adds REG_SZ or REG_DWORD");
}

// /d of a REG_DWORD: decimal, or hexadecimal after 0x, from 0 to 4294967295.
std::string dwordData(const std::string& text) {
    const bool hex = text.size() > 2 && (text.starts_with("0x") || text.starts_with("0X"));
    const auto digits = std::string_view(text).substr(hex ? 2 : 0);
    if (digits.empty()) {
        fail("the data of a REG_DWORD must be a number");
    }
    Dword number = 0;
    const auto end = digits.data() + digits.size();
    const auto parsed = std::from_chars(digits.data(), end, number, hex ? 16 : 10);
    if (parsed.ec != std::errc{} || parsed.ptr != end) {
        fail("the data '" + text + "' is not a REG_DWORD: give a number from 0 to " +
             "4294967295, or 0x and up to 8 hexadecimal digits");
    }
    return regfile::dwordBytes(number);
}

// The value `add` writes: without /v it is the default value, an empty REG_SZ unless /t and /d
// say otherwise, as the platform's command has it.
ValueEdit valueToAdd(const Invocation& invocation) {
    ValueEdit value;
    value.name = valueArgument(invocation).value_or(std::string());
    value.type = typeArgument(invocation);
    const auto data = invocation.has("d") ? invocation.valueOf("d") : std::string();
    if (value.type == reg::REG_DWORD) {
        // As the platform's command: a number is never assumed.
        if (!invocation.has("d")) {
            failSyntax("/t REG_DWORD needs /d and the number");
        }
        value.data = dwordData(data);
    } else {
        value.data = ansiArgument(data, "data") + '\0';
    }
    return value;
}

void runAdd(RegistryBackend& store, const Invocation& invocation, Console& console) {
    const auto path = keyArgument(invocation);
    const auto value = valueToAdd(invocation);
    if (path.empty()) {
        fail(std::string(ROOT_HOLDS_NO_VALUES));
    }
    const bool force = invocation.has("f");
    runChanges(store, [&] {
        reg::ScopedKey key(store);
        check(key.create(path), "creating the key '" + regfile::shownKeyPath(path) + "'");
        if (!force && valueNamed(store, key.get(), path, value.name)) {
            fail("the value '" + shownValueName(value.name) + "' of '" +
                 regfile::shownKeyPath(path) + "' already exists; add /f to replace it");
        }
        check(storeValue(store, key.get(), value),
              "writing the value '" + shownValueName(value.name) + "'");
    });
    console.out << SUCCESS << '\n';
}

bool answeredYes(Console& console, const std::string& question) {
    console.out << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(console.in, answer)) {
        return false;
    }
    return reg::sameIgnoringAsciiCase(answer, "y") || reg::sameIgnoringAsciiCase(answer, "yes");
}

// True when the deletion may go ahead: /f, or a terminal user who said yes.
bool deletionConfirmed(const Invocation& invocation, Console& console,
                       const std::string& question) {
    if (invocation.has("f")) {
        return true;
    }
    if (!console.interactive) {
        fail("delete needs /f when its input is not a terminal, as nobody can confirm it");
    }
    return answeredYes(console, question);
}

void deleteAllValues(RegistryBackend& store, const std::string& path) {
    reg::ScopedKey key(store);
    openExisting(key, path);
    for (const auto& value : valuesOf(store, key.get(), path)) {
        check(store.deleteValue(key.get(), value.name),
              "deleting the value '" + shownValueName(value.name) + "'");
    }
}

void deleteOneValue(RegistryBackend& store, const std::string& path, const std::string& name) {
    reg::ScopedKey key(store);
    openExisting(key, path);
    check(store.deleteValue(key.get(), name), "deleting the value '" + shownValueName(name) + "'");
}

// What a delete removes, the question that confirms it, and the change itself.
struct Deletion {
    std::string question;
    std::function<void()> apply;
};

// Checks that what is to be deleted exists before anybody is asked about it.
Deletion planDeletion(RegistryBackend& store, const Invocation& invocation,
                      const std::string& path) {
    reg::ScopedKey key(store);
    openExisting(key, path);
    if (const auto name = valueArgument(invocation)) {
        if (!valueNamed(store, key.get(), path, *name)) {
            failValueNotFound(*name, path);
        }
        return {"Delete the registry value " + shownValueName(*name),
                [&store, path, name] { deleteOneValue(store, path, *name); }};
    }
    if (invocation.has("va")) {
        return {"Delete all values under the registry key " + regfile::shownKeyPath(path),
                [&store, path] { deleteAllValues(store, path); }};
    }
    if (path.empty()) {
        fail("HKEY_LOCAL_MACHINE itself cannot be deleted");
    }
    return {"Permanently delete the registry key " + regfile::shownKeyPath(path),
            [&store, path] { deleteTree(store, path); }};
}

void runDelete(RegistryBackend& store, const Invocation& invocation, Console& console) {
    const auto deletion = planDeletion(store, invocation, keyArgument(invocation));
    if (!deletionConfirmed(invocation, console, deletion.question)) {
        console.out << "The operation was cancelled.\n";
        return;
    }
    runChanges(store, deletion.apply);
    console.out << SUCCESS << '\n';
}

[[noreturn]] void failFileExists(const std::string& file) {
    fail("the file '" + file + "' already exists; add /y to replace it");
}

// The values of a key as a .reg document holds them.
std::vector<ValueEdit> valueEdits(std::vector<reg::StoredValue> values) {
    std::vector<ValueEdit> edits;
    edits.reserve(values.size());
    for (auto& value : values) {
        edits.push_back({std::move(value.name), false, value.type, std::move(value.data)});
    }
    return edits;
}

void runExport(RegistryBackend& store, const Invocation& invocation, Console& console) {
    const auto path = keyArgument(invocation);
    const auto& file = invocation.arguments[1];
    std::error_code error;
    if (fs::exists(file, error) && !invocation.has("y")) {
        failFileExists(file);
    }
    regfile::RegDocument document;
    // One state of the store, whatever a writer does meanwhile.
    store.runReading([&] {
        walkTree(
            store, path,
            [&](const std::string& keyPath, Handle key) {
                document.keys.push_back(
                    {keyPath, false, valueEdits(valuesOf(store, key, keyPath)), 0});
            },
            computedBranch());
        return reg::ERROR_SUCCESS;
    });
    const auto formatted = regfile::formatRegFile(document);
    if (failed(formatted)) {
        fail("cannot export: " + failureOf(formatted));
    }
    const auto written =
        files::writeFileWhole(file, std::get<std::string>(formatted), invocation.has("y"));
    if (failed(written)) {
        fail("the file '" + file + "' cannot be written: " + failureOf(written));
    }
    if (std::get<files::WriteResult>(written) == files::WriteResult::TargetExists) {
        failFileExists(file);
    }
    console.out << SUCCESS << '\n';
}

[[noreturn]] void failTooLarge(const std::string& file) {
    fail("the file '" + file + "' is larger than " + std::to_string(MAX_IMPORT_FILE_SIZE / MIB) +
         " MiB; that is no .reg file of this store");
}

// The whole file, refused before it is read when it is too large for a .reg file of the store.
std::string readImportFile(const std::string& file) {
    std::error_code error;
    const auto status = fs::status(file, error);
    if (status.type() == fs::file_type::not_found) {
        fail("the file '" + file + "' does not exist");
    }
    if (error) {
        fail("the file '" + file + "' cannot be opened: " + error.message());
    }
    if (fs::is_directory(status)) {
        fail("'" + file + "' is a folder, not a .reg file");
    }
    if (fs::is_regular_file(status) && fs::file_size(file, error) > MAX_IMPORT_FILE_SIZE) {
        failTooLarge(file);
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        fail("the file '" + file + "' cannot be opened: " + std::strerror(errno));
    }
    // Read in chunks with a cap too: a device or a pipe has no size to check beforehand.
    std::string bytes;
    std::vector<char> chunk(READ_CHUNK);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        bytes.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > MAX_IMPORT_FILE_SIZE) {
            failTooLarge(file);
        }
    }
    if (in.bad()) {
        fail("the file '" + file + "' cannot be read");
    }
    return bytes;
}

// Sets or deletes one value of an import; deleting a value that is not there is no failure.
Status applyValue(RegistryBackend& store, Handle key, const ValueEdit& value) {
    if (!value.remove) {
        return storeValue(store, key, value);
    }
    const auto status = store.deleteValue(key, value.name);
    return status == reg::ERROR_FILE_NOT_FOUND ? reg::ERROR_SUCCESS : status;
}

void applyKeyEdit(RegistryBackend& store, const regfile::KeyEdit& edit) {
    // Messages are built only on failure: an import may hold a hundred thousand values.
    const auto where = [&edit] {
        return "line " + std::to_string(edit.line) + ": the key '" +
               regfile::shownKeyPath(edit.path) + "'";
    };
    if (edit.removeTree) {
        if (keyExists(store, edit.path)) {
            deleteTree(store, edit.path);
        }
        return;
    }
    if (edit.path.empty() && !edit.values.empty()) {
        fail("line " + std::to_string(edit.line) + ": " + std::string(ROOT_HOLDS_NO_VALUES));
    }
    reg::ScopedKey key(store);
    if (const auto status = key.create(edit.path); status != reg::ERROR_SUCCESS) {
        check(status, where());
    }
    for (const auto& value : edit.values) {
        if (const auto status = applyValue(store, key.get(), value); status != reg::ERROR_SUCCESS) {
            check(status, where() + ", value '" + shownValueName(value.name) + "'");
        }
    }
}

void runImport(RegistryBackend& store, const Invocation& invocation, Console& console) {
    const auto& file = invocation.arguments[0];
    const auto parsed = regfile::parseRegFile(readImportFile(file));
    if (const auto* error = std::get_if<Failure>(&parsed)) {
        fail("'" + file + "' line " + std::to_string(error->line) + ": " + error->message +
             "; nothing was imported");
    }
    try {
        runChanges(store, [&] {
            for (const auto& edit : std::get<regfile::RegDocument>(parsed).keys) {
                applyKeyEdit(store, edit);
            }
        });
    } catch (CommandError& error) {
        error.message = "'" + file + "' " + error.message + "; nothing was imported";
        throw;
    }
    console.out << SUCCESS << '\n';
}

} // namespace

void runVerb(RegistryBackend& store, const Invocation& invocation, Console& console) {
    switch (invocation.verb) {
    case Verb::Query:
        return runQuery(store, invocation, console);
    case Verb::Add:
        return runAdd(store, invocation, console);
    case Verb::Delete:
        return runDelete(store, invocation, console);
    case Verb::Export:
        return runExport(store, invocation, console);
    case Verb::Import:
        return runImport(store, invocation, console);
    }
}

} // namespace zeb::regtool
