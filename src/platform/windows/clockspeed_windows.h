#pragma once

#include "platform/clockspeed.h"

#include <string>

namespace zentaro::platform::windows_impl {

// What the current-speed query asks WMI, through its scripting objects. Tests
// change a part to walk each way the query can fail.
struct WmiClockQuery {
    std::wstring locator = L"WbemScripting.SWbemLocator"; // programmatic identifier
    std::wstring server = L".";                           // the local computer
    std::wstring nameSpace = L"root\\CIMV2";
    std::wstring query = L"SELECT CurrentClockSpeed FROM Win32_Processor";
    std::wstring property = L"CurrentClockSpeed";
};

// One complete create-connect-query-release cycle per call, through late-bound
// automation (methods and properties called by name): the locator object, its
// ConnectServer, the services' ExecQuery, the first item of the collection's
// enumerator and its property, converted to a 32-bit integer. Any failure on
// the way, no item, or an empty (null) property gives -1.
//
// The calling thread needs COM: a thread without it is initialised as a
// single-threaded apartment for the call and left as it was found.
class WmiClockSpeed : public ClockSpeedSource {
public:
    explicit WmiClockSpeed(WmiClockQuery query = {}) : query_(std::move(query)) {}
    int QueryCurrentClockSpeed() noexcept override;

private:
    WmiClockQuery query_;
};

} // namespace zentaro::platform::windows_impl
