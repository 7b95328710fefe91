#pragma once

#include "platform/clockspeed.h"

#include <optional>
#include <string>

namespace zentaro::sysinfo {

// The current-speed row of the top panel and the timer that samples it. The
// window calls Sample() once while it is created and then on every tick of a
// 1,000 ms timer for as long as timerEnabled() holds, and shows the row and
// its text as this says.
class ClockSampler {
public:
    enum class State {
        NotSampled, // row hidden, value "Unknown", timer running
        Showing,    // row visible with the latest sample, timer running
        Stopped,    // a sample failed: timer off for good, row as it was
    };

    explicit ClockSampler(platform::ClockSpeedSource& source) : source_(source) {}

    // KacMhzOlc: one sample. Returns true when the row's text or visibility
    // changed. Does nothing once stopped.
    bool Sample();

    State state() const { return state_; }
    bool timerEnabled() const { return state_ != State::Stopped; }
    bool rowVisible() const { return visible_; }
    // The value label's caption, shown or not (the export reads it either way).
    const std::string& valueText() const { return text_; }
    // The number in valueText(), when it has one.
    std::optional<int> valueMhz() const { return mhz_; }

private:
    platform::ClockSpeedSource& source_;
    State state_ = State::NotSampled;
    bool visible_ = false;
    std::string text_ = "Unknown";
    std::optional<int> mhz_;
};

} // namespace zentaro::sysinfo
