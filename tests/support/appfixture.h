#pragma once

// The main window's environment with every service faked or pointed at a
// temporary folder, and small helpers for driving the real window in tests.
// Header-only: a test that includes it links zentaro_app_ui.

#include "app/appenvironment.h"
#include "app/appform.h"
#include "platform/settingslocation.h"
#include "support/fakemachine.h"
#include "support/find.h"
#include "support/recordingopener.h"
#include "support/recordingrestarter.h"
#include "support/userlanguage.h"

#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zentaro::testing {

// Samples handed out in turn; the last one repeats.
class ScriptedClockSpeed final : public platform::ClockSpeedSource {
public:
    explicit ScriptedClockSpeed(std::vector<int> samples) : samples_(std::move(samples)) {}
    int QueryCurrentClockSpeed() noexcept override {
        const int sample = samples_[std::min(next_, samples_.size() - 1)];
        ++next_;
        return sample;
    }

private:
    std::vector<int> samples_;
    std::size_t next_ = 0;
};

// Records the restarts asked for. Each one answers Pending for `pendingPolls`
// polls, then `outcome` (with `detail`); an abandoned one counts in `abandoned`.
class FakeElevation final : public platform::Elevation {
public:
    explicit FakeElevation(bool elevated) : elevated_(elevated) {}
    bool IsElevated() const override { return elevated_; }
    std::unique_ptr<platform::ElevatedStart> StartElevated(const std::string& executable) override {
        started.push_back(executable);
        return std::make_unique<Start>(*this);
    }
    std::vector<std::string> started;
    platform::ElevatedStartState outcome = platform::ElevatedStartState::Started;
    int pendingPolls = 0; // negative: pending until abandoned
    int detail = 0;
    int abandoned = 0;

private:
    class Start final : public platform::ElevatedStart {
    public:
        explicit Start(FakeElevation& owner) : owner_(owner), left_(owner.pendingPolls) {}
        platform::ElevatedStartState Poll() override {
            if (abandoned_)
                return platform::ElevatedStartState::Dismissed;
            if (left_ < 0)
                return platform::ElevatedStartState::Pending;
            if (left_ > 0) {
                --left_;
                return platform::ElevatedStartState::Pending;
            }
            return owner_.outcome;
        }
        int detail() const override { return owner_.detail; }
        void Abandon() override {
            if (Poll() != platform::ElevatedStartState::Pending)
                return;
            abandoned_ = true;
            ++owner_.abandoned;
        }

    private:
        FakeElevation& owner_;
        int left_;
        bool abandoned_ = false;
    };
    bool elevated_;
};

// A stopwatch whose every run lasts spanMs: each run reads it twice.
struct ScriptedStopwatch {
    std::shared_ptr<std::atomic<long long>> spanMs = std::make_shared<std::atomic<long long>>(100);
    std::shared_ptr<std::atomic<int>> reads = std::make_shared<std::atomic<int>>(0);

    MonotonicClock clock() const {
        return [span = spanMs, reads = reads]() {
            const int n = reads->fetch_add(1);
            return n % 2 == 0 ? std::chrono::nanoseconds(0)
                              : std::chrono::nanoseconds(std::chrono::milliseconds(span->load()));
        };
    }
};

struct Fixture {
    QTemporaryDir dir;
    std::shared_ptr<FakeElevation> elevation = std::make_shared<FakeElevation>(false);
    std::shared_ptr<RecordingOpener> opener = std::make_shared<RecordingOpener>();
    std::shared_ptr<RecordingRestarter> restarter = std::make_shared<RecordingRestarter>();
    platform::LanguageId userLanguage = 1033;
    ScriptedStopwatch stopwatch;
    std::string cpuName = "Intel(R) Core(TM) i7-9700K CPU @ 3.60GHz";
    std::vector<int> samples{4190};
    std::uint32_t processors = 8;
    std::string image = ZENTARO_BIN_DIR "/zentaro" ZENTARO_EXE_SUFFIX;
    // 4,000,000 operations in the stopwatch's 100 ms: 40 million ops/sec, from
    // loops that take a few milliseconds.
    std::optional<std::uint64_t> operations = 4'000'000;
    bool realClock = false;
    // The wall clock of the export report: 10 December 2026, 14:05:09 local time.
    QDateTime now = QDateTime(QDate(2026, 12, 10), QTime(14, 5, 9));

    QString settingsFile() const { return dir.filePath("settings/KESTRIX/Zentaro.conf"); }
    // The window opens the user's own store as the program does, instead of being
    // handed settingsFile(); UserSettingsHere makes that store settingsFile().
    bool userStore = false;

    app::AppEnvironment environment() const {
        app::AppEnvironment env;
        env.versions = platform::CreateVersionResource();
        env.executableImage = image;
        env.executablePath = ZENTARO_BIN_DIR "/zentaro" ZENTARO_EXE_SUFFIX;
        env.programFolder = dir.path().toStdString();
        env.dataFolders = platform::CreateDataFolders();
        env.elevation = elevation;
        env.userLanguage = std::make_shared<FixedUserLanguage>(userLanguage);
        env.languagesFolder = dir.filePath("Languages").toStdString();
        env.registry = std::make_shared<FakeRegistry>(cpuName, 3600);
        env.systemInfo = std::make_shared<FakeSystemInfo>(processors);
        env.clockSpeed = std::make_shared<ScriptedClockSpeed>(samples);
        env.opener = opener;
        env.textViewer = opener;
        env.serverHost = "help.example";
        env.xHost = "x.example";
        env.facebookHost = "fb.example";
        env.wallClock = [when = now.toMSecsSinceEpoch()] {
            return std::chrono::system_clock::time_point(std::chrono::milliseconds(when));
        };
        env.restarter = restarter;
        env.documentsFolder = dir.filePath("Documents").toStdString();
        if (!realClock)
            env.testing.runClock = stopwatch.clock();
        env.testing.operationCount = operations;
        // Never the settings of the user running the tests.
        if (!userStore)
            env.testing.settingsFile = settingsFile().toStdString();
        return env;
    }
};

// While it lives, the user's own settings store, opened as the program opens it,
// is the fixture's settingsFile(): XDG_CONFIG_HOME points at its folder. Where the
// store is the registry (Windows) that cannot be, and available() says so; the
// fixture then keeps its file. One at a time.
class UserSettingsHere {
public:
    explicit UserSettingsHere(Fixture& fixture)
        : saved_(qEnvironmentVariableIsSet(kVariable)
                     ? std::optional<QByteArray>(qgetenv(kVariable))
                     : std::nullopt) {
        qputenv(kVariable, QFile::encodeName(fixture.dir.filePath("settings")));
        const platform::SettingsLocation place =
            platform::UserSettingsLocation("KESTRIX", "Zentaro");
        available_ =
            !place.registry && QString::fromStdString(place.file) == fixture.settingsFile();
        fixture.userStore = available_;
    }
    ~UserSettingsHere() {
        if (saved_)
            qputenv(kVariable, *saved_);
        else
            qunsetenv(kVariable);
    }
    UserSettingsHere(const UserSettingsHere&) = delete;
    UserSettingsHere& operator=(const UserSettingsHere&) = delete;
    bool available() const { return available_; }

private:
    static constexpr const char* kVariable = "XDG_CONFIG_HOME";
    std::optional<QByteArray> saved_;
    bool available_ = false;
};

inline QString Text(QWidget& form, const char* label) {
    return Find<QLabel>(form, label)->text();
}

// Where a control sits in the window's client area.
inline QRect ClientGeometry(QWidget& form, QWidget* control) {
    auto* client = static_cast<QMainWindow&>(form).centralWidget();
    return QRect(control->mapTo(client, QPoint(0, 0)), control->size());
}

inline bool WaitForRunEnd(app::TAppForm& form) {
    QDeadlineTimer deadline(120'000);
    while (form.running() && !deadline.hasExpired())
        QTest::qWait(10);
    return !form.running();
}

} // namespace zentaro::testing
