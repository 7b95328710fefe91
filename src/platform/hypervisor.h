#pragma once

#include <memory>
#include <string>

namespace zentaro::platform {

// Whether the program runs in a virtual machine, as the processor reports it.
class Hypervisor {
public:
    virtual ~Hypervisor() = default;
    // True when the processor says a hypervisor runs it; false when it says
    // not, or says nothing. Never throws.
    virtual bool RunsUnderHypervisor() const = 0;
};

// systemRoot as for CreateSystemRegistry.
std::unique_ptr<Hypervisor> CreateHypervisor(const std::string& systemRoot = "/");

} // namespace zentaro::platform
