#pragma once

#include "platform/restart.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zentaro::testing {

// The system's restart script, run by nobody: each request is recorded, as the
// script's path (scripts) and with its working folder (runs).
class RecordingRestarter final : public platform::Restarter {
public:
    std::string ScriptName() const override { return "start.sh"; }
    std::optional<std::string> ScriptFor(const std::string& executable) const override {
        return platform::PosixRestartScript(executable);
    }
    bool RunScript(const std::string& scriptPath, const std::string& workingFolder) override {
        scripts.push_back(scriptPath);
        runs.emplace_back(scriptPath, workingFolder);
        return true;
    }
    std::vector<std::string> scripts;
    std::vector<std::pair<std::string, std::string>> runs;
};

} // namespace zentaro::testing
