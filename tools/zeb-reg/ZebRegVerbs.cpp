// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "ZebRegVerbs.h"

#include "Cp1252.h"
#include "RegFile.h"
#include "ScopedKey.h"
#include "StoreLayout.h"
#include "WholeFile.h"
#include "ZebRegErrors.h"
#include "ZebRegImportFile.h"
#include "ZebRegStore.h"
#include "ZebRegValueDisplay.h"

#include <filesystem>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string_view>

namespace zeb::regtool {
namespace {

namespace fs = std::filesystem;
using reg::Handle;
using reg::RegistryBackend;
using reg::Status;
using regfile::ValueEdit;

constexpr std::string_view SUCCESS = "The operation completed successfully.";

// The machine's serial device map describes its hardware: it is computed, not stored, and no
// store can take it in, so an export of the whole store leaves out the branch that holds it.
std::string computedBranch() {
    const std::string_view deviceMap = layout::SERIAL_DEVICE_MAP_KEY;
    return std::string(deviceMap.substr(0, deviceMap.find('\\')));
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
    // Read before anything is printed, so that a key that cannot be listed prints nothing.
    const auto subkeys = name ? std::vector<std::string>{} : subkeyNames(store, key.get(), path);
    out << '\n';
    if (!values.empty()) {
        printKey(out, path, values);
    }
    for (const auto& subkey : subkeys) {
        out << regfile::shownKeyPath(reg::subkeyPath(path, subkey)) << '\n';
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

void run(RegistryBackend& store, const Query& query, Console& console) {
    if (query.recursive) {
        queryTree(store, query.key, query.name, console.out);
    } else {
        queryOneKey(store, query.key, query.name, console.out);
    }
}

void run(RegistryBackend& store, const Add& add, Console& console) {
    const auto& value = add.value;
    runChanges(store, [&] {
        reg::ScopedKey key(store);
        check(key.create(add.key), "creating the key '" + regfile::shownKeyPath(add.key) + "'");
        if (!add.replace && valueNamed(store, key.get(), add.key, value.name)) {
            fail("the value '" + shownValueName(value.name) + "' of '" +
                 regfile::shownKeyPath(add.key) + "' already exists; add /f to replace it");
        }
        check(storeValue(store, key.get(), value.name, value.type, value.data),
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
bool deletionConfirmed(const Delete& command, Console& console, const std::string& question) {
    if (command.confirmed) {
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
Deletion planDeletion(RegistryBackend& store, const Delete& command) {
    const std::string& path = command.key;
    reg::ScopedKey key(store);
    openExisting(key, path);
    if (const auto& name = command.name) {
        if (!valueNamed(store, key.get(), path, *name)) {
            failValueNotFound(*name, path);
        }
        return {"Delete the registry value " + shownValueName(*name),
                [&store, path, name] { deleteOneValue(store, path, *name); }};
    }
    if (command.allValues) {
        return {"Delete all values under the registry key " + regfile::shownKeyPath(path),
                [&store, path] { deleteAllValues(store, path); }};
    }
    return {"Permanently delete the registry key " + regfile::shownKeyPath(path),
            [&store, path] { deleteTree(store, path); }};
}

void run(RegistryBackend& store, const Delete& command, Console& console) {
    const auto deletion = planDeletion(store, command);
    if (!deletionConfirmed(command, console, deletion.question)) {
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

void run(RegistryBackend& store, const Export& command, Console& console) {
    const auto& file = command.file;
    std::error_code error;
    if (fs::exists(file, error) && !command.replace) {
        failFileExists(file);
    }
    regfile::RegDocument document;
    // One state of the store, whatever a writer does meanwhile.
    store.runReading([&] {
        walkTree(
            store, command.key,
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
        files::writeFileWhole(file, std::get<std::string>(formatted), command.replace);
    if (failed(written)) {
        fail("the file '" + file + "' cannot be written: " + failureOf(written));
    }
    if (std::get<files::WriteResult>(written) == files::WriteResult::TargetExists) {
        failFileExists(file);
    }
    console.out << SUCCESS << '\n';
}

// Sets or deletes one value of an import; deleting a value that is not there is no failure.
Status applyValue(RegistryBackend& store, Handle key, const ValueEdit& value) {
    if (!value.remove) {
        return storeValue(store, key, value.name, value.type, value.data);
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

void run(RegistryBackend& store, const Import& command, Console& console) {
    const auto& file = command.file;
    const auto parsed = regfile::parseRegFile(readImportFile(file));
    if (const auto* error = std::get_if<Failure>(&parsed)) {
        fail("'" + file + "' line " + std::to_string(error->line) + ": " + error->message +
             "; nothing was imported");
    }
    // The one catch besides runZebReg's: whatever stops an import, a key's delete or a value's
    // write alike, is told with the file's name and that nothing was imported. Handing the file's
    // name down to every message of ZebRegStore.h would spread one verb's wording over all of them.
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

void runCommand(RegistryBackend& store, const Command& command, Console& console) {
    std::visit([&](const auto& typed) { run(store, typed, console); }, command);
}

} // namespace zeb::regtool
