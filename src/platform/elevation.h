#pragma once

#include <memory>
#include <string>

namespace zentaro::platform {

// How a request to start the program with administrator rights went.
enum class ElevatedStartState {
    Pending,    // the system is still asking the user
    Started,    // the copy with administrator rights runs
    NoTool,     // the system has no way to ask (on Linux: no pkexec)
    Dismissed,  // the user closed the question without an answer
    NotGranted, // the user could not or would not give the rights
    Failed,     // anything else; the detail says what
};

// One request, watched by asking how it goes.
class ElevatedStart {
public:
    virtual ~ElevatedStart() = default;
    // Never blocks. Once it is no longer Pending the answer stays the same.
    virtual ElevatedStartState Poll() = 0;
    // For Failed: the exit status or system error behind it.
    virtual int detail() const = 0;
    // Withdraws a pending request (the question goes away, nothing starts).
    virtual void Abandon() = 0;
};

// Administrator rights: whether the program has them, and starting it again
// with them.
class Elevation {
public:
    virtual ~Elevation() = default;

    virtual bool IsElevated() const = 0;
    // Asks the system to start executable with administrator rights (the user
    // is asked to confirm) and returns without waiting for the answer.
    virtual std::unique_ptr<ElevatedStart> StartElevated(const std::string& executable) = 0;
};

// asker: the program that asks the user and starts the copy, the system's own
// when empty (on Linux pkexec, looked up in PATH); tests name a stand-in. No
// difference on Windows, where the system asks.
std::unique_ptr<Elevation> CreateElevation(const std::string& asker = {});

} // namespace zentaro::platform
