// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Reading and opening the stored settings the way every dialog does it, so that the 64-byte read
// rules and the writers' open-or-create step live in one place.
#pragma once

#include "CRegKey.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

namespace zeb::ui {

// One value of an open key read into a fresh 64-byte buffer. Nothing when the read fails
// (missing, 64 characters or more) or the value is neither text nor a number, so a caller can
// keep its own default instead of showing a stale or made-up value.
std::optional<QString> readStoredText(reg::CRegKey& key, const char* name);

// The names of HostList in enumeration order, up to the first value that cannot be enumerated
// (normally the end; also a name or data too long for the 64-byte buffers), read at once.
QStringList storedHostNames();

// The name storedHostNames lists at `index`, read alone: one question, where listing every name
// takes time in proportion to them. Nothing where the list has ended.
std::optional<QString> storedHostNameAt(int index);

// Whether the name addresses a key of its own below Hosts. A backslash separates keys there, so a
// name holding one names another key: "a\b" nests below record a, and "x\" is record x itself.
// The host editor stores no such name; removing one that was imported deletes its HostList value
// and leaves the Hosts keys alone, so that no other record loses its values.
bool namesOwnHostKey(const QString& name);

// Opens path for writing, creating it with the writers' access when it cannot be opened. Success
// when either step succeeded; otherwise the code of the failed creation.
reg::Status openOrCreateForWriting(reg::CRegKey& key, const std::string& path);

// Tells the user that a dialog's writes did not all reach the store (one critical box, after the
// whole sequence of writes has run).
void reportSaveFailure();

} // namespace zeb::ui
