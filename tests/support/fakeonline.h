#pragma once

// The facts an update check sends about the machine, fixed.

#include "platform/machineidentity.h"
#include "platform/osdescription.h"
#include "platform/userlocale.h"

#include <string>
#include <utility>

namespace zentaro::testing {

class FixedOs final : public platform::OsDescription {
public:
    explicit FixedOs(platform::OsFacts facts) : facts_(std::move(facts)) {}
    platform::OsFacts Describe() const override { return facts_; }

private:
    platform::OsFacts facts_;
};

class FixedLocale final : public platform::UserLocale {
public:
    explicit FixedLocale(std::string name) : name_(std::move(name)) {}
    std::string LocaleName() const override { return name_; }

private:
    std::string name_;
};

// No identifier unless one is given; a test may change it between checks.
class FixedMachine final : public platform::MachineIdentity {
public:
    FixedMachine() = default;
    explicit FixedMachine(platform::MachineId machineId) : id(std::move(machineId)) {}

    platform::MachineId id;
    platform::MachineId ReadMachineId() const override { return id; }
};

} // namespace zentaro::testing
