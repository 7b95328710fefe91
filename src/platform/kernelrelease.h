#pragma once

#include <memory>
#include <optional>
#include <string>

namespace zentaro::platform {

// The release of the running kernel as the system names it ("6.1.0-18-amd64"),
// for reports that say where their figures were made.
class KernelRelease {
public:
    virtual ~KernelRelease() = default;
    // Nothing when the system does not say. Never throws.
    virtual std::optional<std::string> Release() const = 0;
};

// systemRoot as for CreateSystemRegistry.
std::unique_ptr<KernelRelease> CreateKernelRelease(const std::string& systemRoot = "/");

} // namespace zentaro::platform
