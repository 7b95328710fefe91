#pragma once

#include <memory>
#include <string>
#include <vector>

namespace zentaro::platform {

// The policy each processor's clock follows (its frequency governor), such as
// "performance" or "powersave".
class FrequencyGovernors {
public:
    virtual ~FrequencyGovernors() = default;
    // One name per processor that reports one, in processor order; empty when
    // the system does not scale the clock or does not say how. Never throws.
    virtual std::vector<std::string> Governors() const = 0;
};

// systemRoot as for CreateSystemRegistry.
std::unique_ptr<FrequencyGovernors> CreateFrequencyGovernors(const std::string& systemRoot = "/");

} // namespace zentaro::platform
