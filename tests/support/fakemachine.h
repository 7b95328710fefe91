#pragma once

// The machine as the processor facts read it, held in memory: a registry with
// the first processor's key and the system's basic facts.

#include "platform/registry.h"
#include "platform/registryvalues.h"
#include "platform/systeminfo.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace zentaro::testing {

// Only the first processor's key exists, holding the values given; counts the
// keys still open, so that a test sees every one closed.
class FakeRegistry final : public platform::Registry {
public:
    FakeRegistry() = default;
    FakeRegistry(std::string name, std::uint32_t mhz) {
        values["ProcessorNameString"] = std::move(name);
        values["~MHz"] = mhz;
    }

    bool keyExists = true;
    std::map<std::string, platform::RegistryValuesKey::Value> values;
    int openKeys = 0;

    std::unique_ptr<platform::RegistryKey> OpenKeyReadOnly(platform::RegistryRoot root,
                                                           const std::string& path) override {
        if (!keyExists || root != platform::RegistryRoot::LocalMachine ||
            path != platform::kProcessorKeyPath)
            return nullptr;
        auto key = std::make_unique<CountedKey>(openKeys);
        for (const auto& [name, value] : values)
            key->Set(name, value);
        return key;
    }

private:
    class CountedKey final : public platform::RegistryValuesKey {
    public:
        explicit CountedKey(int& open) : open_(open) { ++open_; }
        ~CountedKey() override { --open_; }

    private:
        int& open_;
    };
};

class FakeSystemInfo final : public platform::SystemInfo {
public:
    FakeSystemInfo() = default;
    // An x86-64 machine with this many logical processors.
    explicit FakeSystemInfo(std::uint32_t processors)
        : info{platform::kArchitectureAmd64, processors} {}

    platform::BasicSystemInfo info;
    platform::BasicSystemInfo Basic() const override { return info; }
};

} // namespace zentaro::testing
