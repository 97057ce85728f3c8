#include "RegistryBackend.h"

namespace zeb::reg {

namespace {

std::unique_ptr<RegistryBackend>& current() {
    static std::unique_ptr<RegistryBackend> instance;
    return instance;
}

} // namespace

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
