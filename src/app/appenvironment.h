#pragma once

#include "engine/run.h"
#include "online/updatecheck.h"
#include "platform/clockspeed.h"
#include "platform/datafolders.h"
#include "platform/elevation.h"
#include "platform/opener.h"
#include "platform/registry.h"
#include "platform/restart.h"
#include "platform/systeminfo.h"
#include "platform/textviewer.h"
#include "platform/userlanguage.h"
#include "platform/versionresource.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zentaro::app {

// Everything the main window needs from around it. The program fills it from
// the system; tests fill it with fixtures and seams.
struct AppEnvironment {
    std::shared_ptr<platform::VersionResource> versions;
    // Read for the version block: the running image, so a replaced file does
    // not change who the program is.
    std::string executableImage;
    // The program's folder (data folder, languages) and file (elevated restart).
    std::string programFolder;
    std::string executablePath;
    std::shared_ptr<platform::DataFolders> dataFolders;
    std::shared_ptr<platform::Elevation> elevation;
    std::shared_ptr<platform::UserLanguage> userLanguage;
    std::string languagesFolder;
    std::shared_ptr<platform::Registry> registry;
    std::shared_ptr<platform::SystemInfo> systemInfo;
    std::shared_ptr<platform::ClockSpeedSource> clockSpeed;
    std::shared_ptr<platform::Opener> opener;
    std::shared_ptr<platform::TextViewer> textViewer;
    std::string serverHost;
    // The share pages' hosts, and the wall clock the export report dates itself by.
    std::string xHost;
    std::string facebookHost;
    std::function<std::chrono::system_clock::time_point()> wallClock;
    // Where the export proposes to save its text: the user's documents.
    std::string documentsFolder;
    // Language choice and restart (the chosen language is kept in the settings store).
    std::shared_ptr<platform::Restarter> restarter;
    // The update check (which the program turns on) and the feedback window.
    online::OnlineEnvironment online;

    // Seams for tests; the program leaves them empty.
    struct Seams {
        // The stopwatch of the runs (steady_clock when empty).
        MonotonicClock runClock;
        // Operations per worker instead of test length x 100,000,000.
        std::optional<std::uint64_t> operationCount;
        // An INI file instead of the user's own settings store.
        std::string settingsFile;
        // The clock a restart with administrator rights measures its five
        // minutes' wait for the user's answer by (steady_clock when empty).
        MonotonicClock elevationClock;
    } testing;
};

} // namespace zentaro::app
