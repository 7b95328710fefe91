// The kernel's release and how the processors sit on cores, for the command
// line's reports.
#include "platform/coreentries.h"
#include "platform/kernelrelease.h"
#include "platform/processortopology.h"

#include <algorithm>
#include <vector>
#include <windows.h>

namespace zentaro::platform {

namespace {

// Windows has no kernel release apart from the system's own version, which
// the description carries. Nothing is reported.
class WindowsKernelRelease final : public KernelRelease {
public:
    std::optional<std::string> Release() const override { return std::nullopt; }
};

// One processor-core entry per physical core, over every processor group.
class WindowsProcessorTopology final : public ProcessorTopology {
public:
    std::optional<unsigned> PhysicalCores() const override {
        try {
            DWORD size = 0;
            if (::GetLogicalProcessorInformationEx(RelationProcessorCore, nullptr, &size) ||
                ::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
                return std::nullopt;
            // Heap memory is aligned for any of the entries.
            std::vector<unsigned char> buffer(size);
            if (!::GetLogicalProcessorInformationEx(
                    RelationProcessorCore,
                    reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data()),
                    &size))
                return std::nullopt;
            return CountCoreEntries(buffer.data(), std::min<std::size_t>(size, buffer.size()));
        } catch (...) {
            return std::nullopt; // out of memory: nothing said
        }
    }
};

} // namespace

// The system root is a Linux notion; these read the live system.
std::unique_ptr<KernelRelease> CreateKernelRelease(const std::string&) {
    return std::make_unique<WindowsKernelRelease>();
}

std::unique_ptr<ProcessorTopology> CreateProcessorTopology(const std::string&) {
    return std::make_unique<WindowsProcessorTopology>();
}

} // namespace zentaro::platform
