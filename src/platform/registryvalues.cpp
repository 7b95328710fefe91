#include "platform/registryvalues.h"

#include <algorithm>

namespace zentaro::platform {

namespace {
std::string Folded(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return name;
}
} // namespace

void RegistryValuesKey::Set(const std::string& name, Value value) {
    values_[Folded(name)] = std::move(value);
}

bool RegistryValuesKey::ValueExists(const std::string& name) const {
    return values_.count(Folded(name)) != 0;
}

const RegistryValuesKey::Value& RegistryValuesKey::Find(const std::string& name) const {
    const auto it = values_.find(Folded(name));
    if (it == values_.end())
        throw RegistryError("Registry value not found: '" + name + "'");
    return it->second;
}

std::string RegistryValuesKey::ReadString(const std::string& name) const {
    const Value& v = Find(name);
    if (const auto* text = std::get_if<std::string>(&v))
        return *text;
    throw RegistryError("Invalid data type for '" + name + "'");
}

std::uint32_t RegistryValuesKey::ReadInteger(const std::string& name) const {
    const Value& v = Find(name);
    if (const auto* number = std::get_if<std::uint32_t>(&v))
        return *number;
    throw RegistryError("Invalid data type for '" + name + "'");
}

} // namespace zentaro::platform
