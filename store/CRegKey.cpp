#include "CRegKey.h"

#include "Cp1252.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zeb::reg {

namespace {

// Buffers are sized as the caller asks, but never beyond this: a larger request cannot be honoured
// without risking the allocation, and nothing ZEB stores comes near it (such a value reads as 234).
constexpr Dword LARGEST_BUFFER = 1u << 20;

constexpr Dword RECURSE_NAME_CHARS = 128;

std::vector<unsigned char> bufferOf(Dword size) {
    return std::vector<unsigned char>(std::min(size, LARGEST_BUFFER));
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
// caller's size; that read's code is the result.
Status readNumberAgain(Handle key, const std::string& storeName, Dword MaxValueSize,
                       RegValue& Value) {
    // At least the integer's 4 bytes, and as many as the size promises, so the back end never
    // writes past the buffer whatever the stored data's length.
    std::vector<unsigned char> buffer =
        bufferOf(std::max<Dword>(MaxValueSize, sizeof(std::int32_t)));
    Dword size = std::min<Dword>(MaxValueSize, static_cast<Dword>(buffer.size()));
    const Status status = backend().queryValue(key, storeName, nullptr, buffer.data(), &size);
    if (status == ERROR_SUCCESS) {
        std::int32_t number = 0;
        std::memcpy(&number, buffer.data(), sizeof number);
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
    Handle created = 0;
    const Status status =
        backend().createKey(hKeyParent, toCp1252(KeyName), Options, samDesired, &created);
    m_hKey = created;
    return status;
}

Status CRegKey::DeleteSubKey(const std::string& SubKey) {
    return backend().deleteKey(m_hKey, toCp1252(SubKey));
}

Status CRegKey::DeleteValue(const std::string& Name) {
    return backend().deleteValue(m_hKey, toCp1252(Name));
}

Status CRegKey::EnumValue(Dword Index, std::string& Name, Dword& DataType, RegValue& Value,
                          Dword& MaxNameSize, Dword& MaxValueSize) {
    std::vector<char> name(std::min(std::max<Dword>(MaxNameSize, 1), LARGEST_BUFFER));
    std::vector<unsigned char> data = bufferOf(MaxValueSize);
    Dword nameSize = std::min<Dword>(MaxNameSize, static_cast<Dword>(name.size()));
    Dword dataSize = std::min<Dword>(MaxValueSize, static_cast<Dword>(data.size()));
    const Status status = backend().enumValue(m_hKey, Index, name.data(), &nameSize, &DataType,
                                              data.data(), &dataSize);
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

Status CRegKey::OpenKey(Handle hKey, const std::string& SubKey, Dword /*samDesired*/) {
    Handle opened = 0;
    const Status status = backend().openKey(hKey, toCp1252(SubKey), &opened);
    m_hKey = opened;
    return status;
}

Status CRegKey::QueryValue(const std::string& Name, Dword& DataType, RegValue& Value,
                           Dword& MaxValueSize) {
    const std::string storeName = toCp1252(Name);
    std::vector<unsigned char> data = bufferOf(MaxValueSize);
    Dword dataSize = std::min<Dword>(MaxValueSize, static_cast<Dword>(data.size()));
    const Status status =
        backend().queryValue(m_hKey, storeName, &DataType, data.data(), &dataSize);
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
    CRegKey child;
    Status result = child.OpenKey(m_hKey, Key, RECURSE_DELETE_ACCESS);
    while (result == ERROR_SUCCESS) {
        char name[RECURSE_NAME_CHARS];
        Dword nameSize = RECURSE_NAME_CHARS;
        result = backend().enumKey(child.m_hKey, 0, name, &nameSize);
        if (result == ERROR_SUCCESS) {
            result = child.RecurseDeleteKey(fromCp1252(std::string_view(name, nameSize)));
        }
    }
    child.CloseKey();
    if (result == ERROR_NO_MORE_ITEMS) {
        return DeleteSubKey(Key);
    }
    return result;
}

Status CRegKey::SetValue(const RegValue& Value, const std::string& Name) {
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

} // namespace zeb::reg
