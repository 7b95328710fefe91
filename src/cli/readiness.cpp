#include "readiness.h"

#include "engine/resulttext.h"

#include <algorithm>
#include <thread>

namespace zentaro::cli {

namespace {

std::optional<double> BusyShare(const ReadinessSources& sources) {
    if (!sources.processorTimes)
        return std::nullopt;
    const auto first = sources.processorTimes->Totals();
    if (!first)
        return std::nullopt;
    if (sources.wait)
        sources.wait(sources.loadSample);
    else
        std::this_thread::sleep_for(sources.loadSample);
    const auto second = sources.processorTimes->Totals();
    // Counters that went back, or no time passed: no figure.
    if (!second || second->total <= first->total || second->busy < first->busy)
        return std::nullopt;
    const double busy = static_cast<double>(second->busy - first->busy);
    const double total = static_cast<double>(second->total - first->total);
    return std::min(1.0, busy / total);
}

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

ReadinessFacts CheckBeforeRuns(const ReadinessSources& sources, unsigned workers,
                               unsigned processors) {
    ReadinessFacts facts;
    if (sources.governors) {
        for (std::string& name : sources.governors->Governors()) {
            if (name != "performance" && std::find(facts.governors.begin(), facts.governors.end(),
                                                   name) == facts.governors.end())
                facts.governors.push_back(std::move(name));
        }
    }
    if (sources.power) {
        const platform::PowerSupplyState state = sources.power->State();
        facts.onBattery = state.systemBattery && !state.externalPower;
    }
    facts.busyShare = BusyShare(sources);
    facts.sampleLength = sources.loadSample;
    facts.virtualMachine = sources.hypervisor && sources.hypervisor->RunsUnderHypervisor();
    facts.workers = workers;
    facts.processors = processors;
    return facts;
}

std::map<unsigned, std::uint64_t> ThrottleCounts(const ReadinessSources& sources) {
    return sources.throttle ? sources.throttle->ThrottleCounts()
                            : std::map<unsigned, std::uint64_t>{};
}

std::size_t ThrottledProcessors(const std::map<unsigned, std::uint64_t>& before,
                                const std::map<unsigned, std::uint64_t>& after) {
    std::size_t count = 0;
    for (const auto& [cpu, n] : after) {
        const auto it = before.find(cpu);
        if (it != before.end() && n > it->second)
            ++count;
    }
    return count;
}

std::vector<Warning> Warnings(const ReadinessFacts& facts, std::string_view decimalSeparator) {
    std::vector<Warning> out;
    if (!facts.governors.empty()) {
        std::string names;
        for (const std::string& name : facts.governors)
            names += (names.empty() ? "\"" : ", \"") + name + "\"";
        out.push_back({"governor_not_performance",
                       "The processor's frequency governor is " + names +
                           ", not \"performance\": its clock may change during the run."});
    }
    if (facts.onBattery)
        out.push_back({"on_battery", "The machine runs on battery: power saving may slow the "
                                     "processor."});
    if (facts.busyShare && *facts.busyShare > kBusyLimit)
        out.push_back({"processors_busy",
                       "Other work keeps the processors busy: " +
                           FixedText(*facts.busyShare * 100.0, 1, decimalSeparator) +
                           " % of the processor time was in use in the " +
                           std::to_string(facts.sampleLength.count()) + " ms before the run."});
    if (facts.virtualMachine)
        out.push_back({"virtual_machine", "This is a virtual machine: figures vary with the "
                                          "load of the host it shares."});
    if (facts.workers > facts.processors)
        out.push_back({"more_threads_than_processors",
                       Count(facts.workers, "worker", "workers") + " on " +
                           Count(facts.processors, "logical processor", "logical processors") +
                           ": the workers take turns on the processors."});
    if (facts.throttledProcessors > 0)
        out.push_back(
            {"thermal_throttling", "The processor slowed itself down for heat during the run (on " +
                                       Count(facts.throttledProcessors, "processor", "processors") +
                                       "): the figures are lower than it can reach."});
    return out;
}

} // namespace zentaro::cli
