#pragma once

#include "platform/clockspeed.h"

#include <string>

namespace zentaro::platform::linux_impl {

// The first processor's present speed: cpufreq scaling_cur_freq (kHz), else the
// "cpu MHz" of the first processor in /proc/cpuinfo, both rounded to whole MHz.
class LinuxClockSpeed : public ClockSpeedSource {
public:
    explicit LinuxClockSpeed(const std::string& systemRoot);
    int QueryCurrentClockSpeed() noexcept override;

private:
    std::string curFreqPath_;
    std::string cpuinfoPath_;
};

} // namespace zentaro::platform::linux_impl
