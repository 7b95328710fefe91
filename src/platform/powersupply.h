#pragma once

#include <memory>
#include <string>

namespace zentaro::platform {

// What powers the machine. Batteries of attached devices (a mouse, a
// keyboard) do not count.
struct PowerSupplyState {
    bool systemBattery = false; // a battery that can power the machine is present
    bool externalPower = false; // a mains supply (or a charger on USB) is online
};

class PowerSupply {
public:
    virtual ~PowerSupply() = default;
    // Asks the system afresh; both false when it says nothing. Never throws.
    virtual PowerSupplyState State() const = 0;
};

// systemRoot as for CreateSystemRegistry.
std::unique_ptr<PowerSupply> CreatePowerSupply(const std::string& systemRoot = "/");

} // namespace zentaro::platform
