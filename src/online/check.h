#pragma once

#include "online/protocol.h"
#include "settings/settingsstore.h"

#include <QDate>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace zentaro::online {

// What the update check needs from around it.
struct CheckInputs {
    QString AppTitle;
    QString AppVersion;
    ServerAccess server;
    std::shared_ptr<const platform::OsDescription> os;
    std::shared_ptr<const platform::UserLocale> locale;
    std::shared_ptr<const platform::MachineIdentity> machine;
    QString settingsFile;         // empty: the user's own store
    std::function<QDate()> today; // the calendar day; QDate::currentDate() when empty
};

// The state of the one update check of a program run. The checker thread writes
// the results and then sets CheckFinished with release ordering; the window reads
// them only once Finished() (acquire) has said true, and nothing writes them after.
struct CheckState {
    std::atomic<bool> CheckFinished{false};

    bool NewVersionAvailable = false;
    QString LatestVersion;
    QString DownloadURL;
    int ShowUpdate = 1; // "ShowUpdate" as the check read it
    bool CheckFailed = false;
    QString CheckFailureText; // the failures noted, oldest first; shown nowhere
    // Open from the check's third step until the program ends.
    std::unique_ptr<settings::SettingsStore> Store;

    bool Finished() const { return CheckFinished.load(std::memory_order_acquire); }
    void NoteFailure(const QString& message);
    void ClearFailures();
};

// The check itself, on the calling thread: the daily ration in the settings
// store, the request, the reading of the reply and the version rule. Ends by
// setting CheckFinished, whatever happened on the way.
void CheckNow(const CheckInputs& inputs, CheckState& state,
              const Cancellation* cancellation = nullptr);

// The version rule: a notice is due for a version that differs from the
// program's own and reads, without its dots, as a whole number, when the
// notifications are on (exactly 1) on one of the day's first three checks.
bool NoticeDue(const QString& LatestVersion, const QString& AppVersion, int showUpdate,
               int dayCount);

// The address the notice's link opens: DownloadURL when it is an absolute
// http or https address, else the maker's home page "http://" ServerHost. The
// download address comes from the network, perhaps unprotected: nothing else it
// might say (another scheme, a file, a local path) is handed to the browser.
QString DownloadAddress(const QString& DownloadURL, const QString& ServerHost);

// The update check's thread: it starts when the object is made and runs CheckNow
// once. Destroying the object ends a request still waiting on the network and
// waits for the thread, so that the program can close at any moment.
class TChecker {
public:
    TChecker(CheckInputs inputs, std::shared_ptr<CheckState> state);
    ~TChecker();
    TChecker(const TChecker&) = delete;
    TChecker& operator=(const TChecker&) = delete;

private:
    struct Job;

    std::shared_ptr<Job> job_;
    std::thread thread_;
};

} // namespace zentaro::online
