#pragma once

#include <memory>
#include <optional>
#include <string>

namespace zentaro::platform {

// How the machine's logical processors sit on physical cores.
class ProcessorTopology {
public:
    virtual ~ProcessorTopology() = default;
    // The physical cores of every online processor package of the machine
    // (not only those this process may run on); nothing when the system does
    // not say. Never throws.
    virtual std::optional<unsigned> PhysicalCores() const = 0;
};

// systemRoot as for CreateSystemRegistry.
std::unique_ptr<ProcessorTopology> CreateProcessorTopology(const std::string& systemRoot = "/");

} // namespace zentaro::platform
