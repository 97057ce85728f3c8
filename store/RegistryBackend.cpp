// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "RegistryBackend.h"

namespace zeb::reg {

namespace {

std::unique_ptr<RegistryBackend>& current() {
    static std::unique_ptr<RegistryBackend> instance;
    return instance;
}

} // namespace

Status RegistryBackend::valueSummaries(Handle key, std::vector<ValueSummary>& values) {
    values.clear();
    std::vector<char> name(MAX_VALUE_NAME_LENGTH + 1);
    for (Dword index = 0;; ++index) {
        Dword nameSize = static_cast<Dword>(name.size());
        ValueSummary value;
        const Status status =
            enumValue(key, index, name.data(), &nameSize, nullptr, nullptr, &value.size);
        if (status != ERROR_SUCCESS) {
            return status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : status;
        }
        value.name.assign(name.data(), nameSize);
        values.push_back(std::move(value));
    }
}

RegistryBackend& backend() {
    auto& instance = current();
    if (!instance) {
        instance = makePlatformBackend();
    }
    return *instance;
}

std::unique_ptr<RegistryBackend> installBackend(std::unique_ptr<RegistryBackend> next) {
    std::unique_ptr<RegistryBackend> previous = std::move(current());
    current() = std::move(next);
    return previous;
}

} // namespace zeb::reg
