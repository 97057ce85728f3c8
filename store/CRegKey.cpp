// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "CRegKey.h"

#include "Cp1252.h"
#include "KeyTree.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zeb::reg {

namespace {

// Buffers are allocated up front as the caller sizes them, but never beyond this: a caller may
// promise gigabytes it does not mean. Data larger than this is read with a buffer of its own size.
constexpr Dword LARGEST_BUFFER = 1u << 20;

// The platform's buffer for the subkey names RecurseDeleteKey lists: 127 characters and the NUL.
constexpr Dword RECURSE_NAME_CHARS = 128;

// The platform takes names as C strings, so no caller of it can pass a name holding a NUL; passed
// on, "a<NUL>b" would reach "a". Here such a name names nothing.
bool holdsNul(const std::string& name) {
    return name.find('\0') != std::string::npos;
}

// Calls `read(buffer, &size)` as the caller's MaxValueSize asks. The buffer is never null, so a
// size of 0 is answered as the platform answers a buffer too small (234 and the size needed) rather
// than as a question for the size alone. Data larger than LARGEST_BUFFER that fits the caller's
// size is read again into a buffer of exactly its size: a caller that grows its size to what 234
// told it and retries always gets the data.
template <typename Read>
Status readData(Dword MaxValueSize, std::vector<unsigned char>& data, Dword& dataSize, Read read) {
    data.assign(std::max<Dword>(std::min(MaxValueSize, LARGEST_BUFFER), 1), 0);
    for (;;) {
        dataSize = std::min<Dword>(MaxValueSize, static_cast<Dword>(data.size()));
        const Status status = read(data.data(), &dataSize);
        if (status != ERROR_MORE_DATA || dataSize > MaxValueSize || dataSize <= data.size()) {
            return status;
        }
        data.resize(dataSize); // strictly larger each time, and never beyond MaxValueSize
    }
}

// REG_SZ data as text. The platform's rule drops the final byte as the NUL; text that another
// program stored without one would lose a real character that way, so only a NUL is dropped.
// Data of no bytes at all is the empty text.
std::string textOfData(const unsigned char* data, Dword size) {
    if (size > 0 && data[size - 1] == '\0') {
        --size;
    }
    return fromCp1252(std::string_view(reinterpret_cast<const char*>(data), size));
}

// The REG_DWORD rule: the value is read a second time by name, straight into an integer, with the
// caller's size; that read's code is the result. Data shorter than the integer leaves the rest of
// it zero.
Status readNumberAgain(Handle key, const std::string& storeName, Dword MaxValueSize,
                       RegValue& Value) {
    std::vector<unsigned char> data;
    Dword size = 0;
    const Status status =
        readData(MaxValueSize, data, size, [&](unsigned char* buffer, Dword* room) {
            return backend().queryValue(key, storeName, nullptr, buffer, room);
        });
    if (status == ERROR_SUCCESS) {
        std::int32_t number = 0;
        std::memcpy(&number, data.data(), std::min<std::size_t>(size, sizeof number));
        Value = number;
    }
    return status;
}

// What both reads do once the data is in hand: REG_SZ data becomes the text, a REG_DWORD is
// read again as an integer, any other type leaves `Value` as it was.
Status takeData(Handle key, const std::string& storeName, Dword DataType,
                const std::vector<unsigned char>& data, Dword size, Dword MaxValueSize,
                RegValue& Value) {
    if (DataType == REG_SZ) {
        Value = textOfData(data.data(), size);
        return ERROR_SUCCESS;
    }
    if (DataType == REG_DWORD) {
        return readNumberAgain(key, storeName, MaxValueSize, Value);
    }
    return ERROR_SUCCESS;
}

} // namespace

std::string textOf(const RegValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    return std::to_string(std::get<std::int32_t>(value));
}

Status CRegKey::CloseKey() {
    const Status status = backend().closeKey(m_hKey);
    m_hKey = 0;
    return status;
}

Status CRegKey::Create(Handle hKeyParent, const std::string& KeyName, Dword Options,
                       Dword samDesired) {
    if (holdsNul(KeyName)) {
        m_hKey = 0;
        return ERROR_BAD_PATHNAME;
    }
    Handle created = 0;
    const Status status =
        backend().createKey(hKeyParent, toCp1252(KeyName), Options, samDesired, &created);
    m_hKey = created;
    return status;
}

Status CRegKey::DeleteSubKey(const std::string& SubKey) {
    if (holdsNul(SubKey)) {
        return ERROR_BAD_PATHNAME;
    }
    return backend().deleteKey(m_hKey, toCp1252(SubKey));
}

Status CRegKey::DeleteValue(const std::string& Name) {
    if (holdsNul(Name)) {
        return ERROR_FILE_NOT_FOUND;
    }
    return backend().deleteValue(m_hKey, toCp1252(Name));
}

Status CRegKey::EnumValue(Dword Index, std::string& Name, Dword& DataType, RegValue& Value,
                          Dword& MaxNameSize, Dword& MaxValueSize) {
    std::vector<char> name(std::min(std::max<Dword>(MaxNameSize, 1), LARGEST_BUFFER));
    std::vector<unsigned char> data;
    Dword nameSize = 0;
    Dword dataSize = 0;
    const Status status =
        readData(MaxValueSize, data, dataSize, [&](unsigned char* buffer, Dword* size) {
            nameSize = std::min<Dword>(MaxNameSize, static_cast<Dword>(name.size()));
            return backend().enumValue(m_hKey, Index, name.data(), &nameSize, &DataType, buffer,
                                       size);
        });
    MaxNameSize = nameSize;
    MaxValueSize = dataSize;
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const std::string storeName(name.data(), nameSize);
    Name = fromCp1252(storeName);
    return takeData(m_hKey, storeName, DataType, data, dataSize, MaxValueSize, Value);
}

Status CRegKey::EnumValue(Dword Index, std::string& Name, Dword& DataType, RegValue& Value) {
    Dword nameSize = DEFAULT_BUFFER_SIZE;
    Dword valueSize = DEFAULT_BUFFER_SIZE;
    return EnumValue(Index, Name, DataType, Value, nameSize, valueSize);
}

Status CRegKey::EnumValueNames(std::vector<std::string>& Names) {
    Names.clear();
    std::vector<RegistryBackend::ValueSummary> values;
    const Status status = backend().valueSummaries(m_hKey, values);
    Names.reserve(values.size());
    for (const auto& value : values) {
        if (value.name.size() >= DEFAULT_BUFFER_SIZE || value.size > DEFAULT_BUFFER_SIZE) {
            return ERROR_MORE_DATA;
        }
        Names.push_back(fromCp1252(value.name));
    }
    return status;
}

Status CRegKey::OpenKey(Handle hKey, const std::string& SubKey, Dword /*samDesired*/) {
    if (holdsNul(SubKey)) {
        m_hKey = 0;
        return ERROR_BAD_PATHNAME;
    }
    Handle opened = 0;
    const Status status = backend().openKey(hKey, toCp1252(SubKey), &opened);
    m_hKey = opened;
    return status;
}

Status CRegKey::QueryValue(const std::string& Name, Dword& DataType, RegValue& Value,
                           Dword& MaxValueSize) {
    if (holdsNul(Name)) {
        return ERROR_FILE_NOT_FOUND;
    }
    const std::string storeName = toCp1252(Name);
    std::vector<unsigned char> data;
    Dword dataSize = 0;
    const Status status =
        readData(MaxValueSize, data, dataSize, [&](unsigned char* buffer, Dword* size) {
            return backend().queryValue(m_hKey, storeName, &DataType, buffer, size);
        });
    MaxValueSize = dataSize;
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return takeData(m_hKey, storeName, DataType, data, dataSize, MaxValueSize, Value);
}

Status CRegKey::QueryValue(const std::string& Name, Dword& DataType, RegValue& Value) {
    Dword valueSize = DEFAULT_BUFFER_SIZE;
    return QueryValue(Name, DataType, Value, valueSize);
}

Status CRegKey::RecurseDeleteKey(const std::string& Key) {
    // The store's one recursive delete, in store bytes: every byte string survives the round trip
    // through UTF-8, so it opens and deletes exactly the names a walk in UTF-8 would.
    return deleteKeyTree(backend(), m_hKey, toCp1252(Key), RECURSE_NAME_CHARS).status;
}

Status CRegKey::SetValue(const RegValue& Value, const std::string& Name) {
    if (holdsNul(Name)) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::string storeName = toCp1252(Name);
    if (const auto* text = std::get_if<std::string>(&Value)) {
        const std::string data = toCp1252(*text);
        // c_str() supplies the terminating NUL that is stored with the text.
        return backend().setValue(m_hKey, storeName, REG_SZ,
                                  reinterpret_cast<const unsigned char*>(data.c_str()),
                                  static_cast<Dword>(data.size() + 1));
    }
    const std::int32_t number = std::get<std::int32_t>(Value);
    unsigned char bytes[sizeof number];
    std::memcpy(bytes, &number, sizeof number);
    return backend().setValue(m_hKey, storeName, REG_DWORD, bytes, sizeof bytes);
}

Status writeAsOneGroup(const std::function<Status()>& writes) {
    return backend().runAtomically(writes);
}

Status readAsOneState(const std::function<Status()>& reads) {
    return backend().runReading(reads);
}

} // namespace zeb::reg
