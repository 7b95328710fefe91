#pragma once

#include <memory>
#include <optional>
#include <string>

namespace zentaro::platform {

// The Windows restart batch file for executable: it turns echoing off, says what it
// is for, waits a second where the system has "timeout" (major version 6 and
// later), then starts executable. Lines end in CR LF, the last one too. The path's
// bytes are taken as they are (the caller picks their code page); "%" is doubled,
// since a batch file would read it as the start of a variable. Nothing when the path
// holds a double quote or a control character: those cannot be written into a
// quoted batch-file command, and no Windows path has them.
std::optional<std::string> WindowsRestartBatch(const std::string& executable,
                                               int windowsMajorVersion);

// The same for a POSIX shell: waits a second, then replaces itself with executable.
// The path is quoted so that the shell takes every byte of it literally: blanks,
// quotes, "$", backquotes and line breaks cannot run anything else. Lines end in LF.
std::string PosixRestartScript(const std::string& executable);

// Starting the program anew after it has ended, through a small script in its data
// folder.
class Restarter {
public:
    virtual ~Restarter() = default;

    // The script's file name on this system.
    virtual std::string ScriptName() const = 0;
    // The script's contents for executable; nothing when it cannot be written safely.
    virtual std::optional<std::string> ScriptFor(const std::string& executable) const = 0;
    // Runs the script at scriptPath in workingFolder, detached from this program and
    // without a window or a terminal, and returns without waiting for it. False when
    // it could not be started.
    virtual bool RunScript(const std::string& scriptPath, const std::string& workingFolder) = 0;
};

std::unique_ptr<Restarter> CreateRestarter();

} // namespace zentaro::platform
