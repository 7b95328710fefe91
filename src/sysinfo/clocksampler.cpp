#include "sysinfo/clocksampler.h"

#include "sysinfo/processorinfo.h"

namespace zentaro::sysinfo {

bool ClockSampler::Sample() {
    if (state_ == State::Stopped)
        return false;
    const int mhz = source_.QueryCurrentClockSpeed();
    if (mhz < 0) {
        // No retry: the row keeps whatever it showed, hidden or not.
        state_ = State::Stopped;
        return false;
    }
    std::string text = MhzText(mhz);
    const bool changed = text != text_ || !visible_;
    text_ = std::move(text);
    mhz_ = mhz;
    visible_ = true;
    state_ = State::Showing;
    return changed;
}

} // namespace zentaro::sysinfo
