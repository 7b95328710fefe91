#pragma once

#include "platform/frequencygovernors.h"
#include "platform/hypervisor.h"
#include "platform/powersupply.h"
#include "platform/processortimes.h"
#include "platform/thermalthrottle.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentaro::cli {

// Where the facts about the machine's state come from. A null source is a
// fact not known, and gives no warning.
struct ReadinessSources {
    const platform::FrequencyGovernors* governors = nullptr;
    const platform::PowerSupply* power = nullptr;
    const platform::ProcessorTimes* processorTimes = nullptr;
    const platform::ThermalThrottle* throttle = nullptr;
    const platform::Hypervisor* hypervisor = nullptr;
    // Waits between the two readings of the processor times; tests change
    // their fixture here instead of waiting.
    std::function<void(std::chrono::milliseconds)> wait;
    std::chrono::milliseconds loadSample{250};
};

// More than this share of all processor time already in use before a run
// distorts it.
inline constexpr double kBusyLimit = 0.10;

// What the machine is like before the runs (and, for the throttling, after).
struct ReadinessFacts {
    std::vector<std::string> governors; // those not "performance", each once
    bool onBattery = false;
    std::optional<double> busyShare; // of all processor time in the sample, 0..1
    std::chrono::milliseconds sampleLength{};
    bool virtualMachine = false;
    unsigned workers = 0;    // the most workers of a multi-core run; 0 for none
    unsigned processors = 0; // logical processors the process may use
    std::size_t throttledProcessors = 0;
};

// Reads every fact but the throttling; takes the load sample's time.
ReadinessFacts CheckBeforeRuns(const ReadinessSources& sources, unsigned workers,
                               unsigned processors);

// Reads the throttle counters; empty without a source.
std::map<unsigned, std::uint64_t> ThrottleCounts(const ReadinessSources& sources);
// Processors whose counters rose from before to after.
std::size_t ThrottledProcessors(const std::map<unsigned, std::uint64_t>& before,
                                const std::map<unsigned, std::uint64_t>& after);

struct Warning {
    std::string code;    // stable, for scripts
    std::string message; // one English sentence
};

// The warnings the facts call for, in a fixed order. Figures in the messages
// use decimalSeparator.
std::vector<Warning> Warnings(const ReadinessFacts& facts, std::string_view decimalSeparator);

} // namespace zentaro::cli
