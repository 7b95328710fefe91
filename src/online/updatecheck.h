#pragma once

#include "online/check.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace zentaro::online {

// What the online services need from the program around them.
struct OnlineEnvironment {
    // The program turns the update check on; off, the check ends at once and
    // touches neither the network nor the settings store.
    bool updateCheck = false;
    // What the check tells the server about the system.
    std::shared_ptr<const platform::OsDescription> os;
    std::shared_ptr<const platform::UserLocale> locale;
    std::shared_ptr<const platform::MachineIdentity> machine;

    // Seams for tests; the program leaves them empty.
    struct Seams {
        std::function<QDate()> today;        // the calendar day; today when empty
        std::optional<int> requestTimeoutMs; // one time-out for every request
        QByteArray trustedCertificatesPem;   // trusted besides the system's
    } testing;

    // How to reach the maker's server at host ("name" or "name:port").
    ServerAccess Server(const QString& host) const;
};

// A new-version notice that is due: the version the server named and where
// its link leads.
struct UpdateNotice {
    QString LatestVersion;
    QString DownloadURL;
};

// The one update check of a program run, for the main window: it starts the
// checker thread, says when the check is over and what came of it, and keeps
// the notifications switch in the store the check opened. Used on one thread.
class UpdateCheck {
public:
    // settingsFile: an INI file instead of the user's own store (tests).
    UpdateCheck(OnlineEnvironment environment, QString host, QString settingsFile = {});
    ~UpdateCheck();
    UpdateCheck(const UpdateCheck&) = delete;
    UpdateCheck& operator=(const UpdateCheck&) = delete;

    bool started() const { return state_ != nullptr; }
    // Starts the check in the background; only the first call does anything.
    void Start(const QString& AppTitle, const QString& AppVersion);
    bool Finished() const { return state_ && state_->Finished(); }

    // Once finished: whether the notifications are on, as the check read them.
    bool NotificationsOn() const;
    // Once finished: the notice that is due, handed out once.
    std::optional<UpdateNotice> TakeNotice();
    // Keeps the switch for the next start. False when nothing could be kept:
    // before the check has finished, or when it asked nothing or its store
    // could not be opened; then why, when given, says so if the user should
    // know (settings that are there but refuse the write), else stays empty.
    bool SetNotifications(bool on, QString* why = nullptr);

private:
    OnlineEnvironment environment_;
    QString host_;
    QString settingsFile_;
    std::shared_ptr<CheckState> state_;
    std::unique_ptr<TChecker> checker_;
    bool noticeTaken_ = false;
};

} // namespace zentaro::online
