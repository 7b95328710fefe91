#include "machineidentity_windows.h"

#include "registry_windows.h"

#include <optional>
#include <string_view>

namespace zentaro::platform {

namespace windows_impl {

namespace {

// 8-4-4-4-12 hex digits, in braces or without, as the digits alone in lower
// case; nothing for any other text.
std::optional<std::string> GuidDigits(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}')
        text = text.substr(1, 36);
    if (text.size() != 36)
        return std::nullopt;
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-')
                return std::nullopt;
        } else if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) {
            digits += c;
        } else if (c >= 'A' && c <= 'F') {
            digits += static_cast<char>(c - 'A' + 'a');
        } else {
            return std::nullopt;
        }
    }
    return digits;
}

} // namespace

MachineId ReadMachineGuid(RegistryRoot root, const std::string& path) {
    const StringValue value = ReadStringValue(root, path, "MachineGuid");
    switch (value.status) {
    case StringValue::Status::Missing:
        return {MachineId::Status::Missing, {}};
    case StringValue::Status::NotAString:
    case StringValue::Status::Failed:
        return {MachineId::Status::Unreadable, {}};
    case StringValue::Status::Found:
        break;
    }
    if (auto digits = GuidDigits(value.text))
        return {MachineId::Status::Found, std::move(*digits)};
    return {MachineId::Status::Unreadable, {}};
}

} // namespace windows_impl

namespace {

class WindowsMachineIdentity final : public MachineIdentity {
public:
    MachineId ReadMachineId() const override {
        return windows_impl::ReadMachineGuid(RegistryRoot::LocalMachine,
                                             windows_impl::kCryptographyKeyPath);
    }
};

} // namespace

std::unique_ptr<MachineIdentity> CreateMachineIdentity() {
    return std::make_unique<WindowsMachineIdentity>();
}

} // namespace zentaro::platform
