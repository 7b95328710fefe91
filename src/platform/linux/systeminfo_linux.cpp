#include "systeminfo_linux.h"

#include <cerrno>
#include <sched.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

namespace zentaro::platform {

std::unique_ptr<SystemInfo> CreateSystemInfo() {
    return std::make_unique<linux_impl::LinuxSystemInfo>();
}

namespace linux_impl {

std::uint16_t ArchitectureForMachine(std::string_view m) {
    if (m == "x86_64" || m == "amd64")
        return kArchitectureAmd64;
    if (m == "i386" || m == "i486" || m == "i586" || m == "i686")
        return kArchitectureIntel;
    if (m == "aarch64" || m == "arm64" || m == "aarch64_be")
        return kArchitectureArm64;
    if (m.substr(0, 3) == "arm") // armv7l, armv6l, armv8l (32-bit on a 64-bit core)
        return kArchitectureArm;
    return kArchitectureUnknown;
}

std::uint32_t AffinityProcessorCount() {
    // The mask may be larger than cpu_set_t on machines with over 1024 processors.
    for (int cpus = CPU_SETSIZE; cpus <= (1 << 20); cpus *= 2) {
        const std::size_t size = CPU_ALLOC_SIZE(cpus);
        std::vector<unsigned char> storage(size);
        auto* set = reinterpret_cast<cpu_set_t*>(storage.data());
        if (sched_getaffinity(0, size, set) == 0) {
            const int count = CPU_COUNT_S(size, set);
            return count > 0 ? static_cast<std::uint32_t>(count) : 1;
        }
        if (errno != EINVAL)
            break;
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<std::uint32_t>(online) : 1;
}

namespace {
std::string UnameMachine() {
    utsname u{};
    return uname(&u) == 0 ? std::string(u.machine) : std::string();
}
} // namespace

LinuxSystemInfo::LinuxSystemInfo()
    : machine_(UnameMachine()), processors_(AffinityProcessorCount()) {}

LinuxSystemInfo::LinuxSystemInfo(std::string machine, std::uint32_t logicalProcessors)
    : machine_(std::move(machine)), processors_(logicalProcessors) {}

BasicSystemInfo LinuxSystemInfo::Basic() const {
    return {ArchitectureForMachine(machine_), processors_};
}

} // namespace linux_impl
} // namespace zentaro::platform
