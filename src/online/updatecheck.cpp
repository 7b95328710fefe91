#include "online/updatecheck.h"

#include <QSslCertificate>

namespace zentaro::online {

ServerAccess OnlineEnvironment::Server(const QString& host) const {
    ServerAccess server;
    server.host = host;
    server.timeoutMs = testing.requestTimeoutMs;
    if (!testing.trustedCertificatesPem.isEmpty())
        server.extraTrust =
            QSslCertificate::fromData(testing.trustedCertificatesPem, QSsl::EncodingFormat::Pem);
    return server;
}

UpdateCheck::UpdateCheck(OnlineEnvironment environment, QString host, QString settingsFile)
    : environment_(std::move(environment)), host_(std::move(host)),
      settingsFile_(std::move(settingsFile)) {}

// The checker ends a request still on the network and is waited for (briefly)
// before the state it writes goes away.
UpdateCheck::~UpdateCheck() {
    checker_.reset();
}

void UpdateCheck::Start(const QString& AppTitle, const QString& AppVersion) {
    if (state_)
        return;
    state_ = std::make_shared<CheckState>();
    if (!environment_.updateCheck) {
        // Over at once: nothing asked, nothing stored.
        state_->CheckFinished.store(true, std::memory_order_release);
        return;
    }
    CheckInputs inputs;
    inputs.AppTitle = AppTitle;
    inputs.AppVersion = AppVersion;
    inputs.server = environment_.Server(host_);
    inputs.os = environment_.os;
    inputs.locale = environment_.locale;
    inputs.machine = environment_.machine;
    inputs.settingsFile = settingsFile_;
    inputs.today = environment_.testing.today;
    checker_ = std::make_unique<TChecker>(std::move(inputs), state_);
}

bool UpdateCheck::NotificationsOn() const {
    return !Finished() || state_->ShowUpdate != 0;
}

std::optional<UpdateNotice> UpdateCheck::TakeNotice() {
    if (!Finished() || noticeTaken_ || !state_->NewVersionAvailable)
        return std::nullopt;
    noticeTaken_ = true;
    return UpdateNotice{state_->LatestVersion, state_->DownloadURL};
}

bool UpdateCheck::SetNotifications(bool on, QString* why) {
    if (!Finished() || !state_->Store)
        return false;
    if (state_->Store->WriteInteger(QStringLiteral("ShowUpdate"), on ? 1 : 0))
        return true;
    if (why)
        *why = state_->Store->reason().isEmpty() ? QStringLiteral("The settings cannot be written.")
                                                 : state_->Store->reason();
    return false;
}

} // namespace zentaro::online
