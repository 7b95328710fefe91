#pragma once

#include "platform/registry.h"

#include <map>
#include <string>
#include <variant>

namespace zentaro::platform {

// A key held in memory: what a platform without a registry builds from its own
// sources, and what tests hand to the logic. Value names ignore letter case, as
// in the registry.
class RegistryValuesKey : public RegistryKey {
public:
    using Value = std::variant<std::string, std::uint32_t>;

    void Set(const std::string& name, Value value);

    bool ValueExists(const std::string& name) const override;
    std::string ReadString(const std::string& name) const override;
    std::uint32_t ReadInteger(const std::string& name) const override;

private:
    const Value& Find(const std::string& name) const;
    std::map<std::string, Value> values_; // keyed by the lower-case name
};

} // namespace zentaro::platform
