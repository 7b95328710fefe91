#include "online/check.h"

#include "i18n/catalogue.h"

#include <QLocale>
#include <QLockFile>
#include <QUrl>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <typeinfo>

namespace zentaro::online {

namespace {

constexpr int kChecksPerDay = 5;
constexpr int kNoticesPerDay = 3;
// The day's count is read, raised and written under a lock that copies of the
// program share. It is held for a moment only, so a lock older than this was
// left by a copy that died, and no start waits longer than the deadline.
constexpr int kLockStaleMs = 1500;
constexpr int kLockDeadlineMs = 2000;

} // namespace

void CheckState::NoteFailure(const QString& message) {
    if (i18n::TrimControl(message).isEmpty())
        return;
    CheckFailed = true;
    if (!CheckFailureText.isEmpty())
        CheckFailureText += QStringLiteral("\r\r");
    CheckFailureText += message;
}

void CheckState::ClearFailures() {
    CheckFailed = false;
    CheckFailureText.clear();
}

bool NoticeDue(const QString& LatestVersion, const QString& AppVersion, int showUpdate,
               int dayCount) {
    QString digits = LatestVersion;
    digits.remove(u'.');
    int number = 0;
    return LatestVersion != AppVersion && settings::ParseDecimal(digits, number) &&
           showUpdate == 1 && dayCount <= kNoticesPerDay;
}

QString DownloadAddress(const QString& DownloadURL, const QString& ServerHost) {
    const QUrl url(DownloadURL, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty())
        return DownloadURL;
    return QStringLiteral("http://") + ServerHost;
}

void CheckNow(const CheckInputs& inputs, CheckState& state, const Cancellation* cancellation) {
    state.ClearFailures();

    QString guid;
    try {
        if (inputs.machine)
            guid = GetMachineGuid(*inputs.machine);
    } catch (const std::exception&) {
        state.NoteFailure(QStringLiteral("Error: GUID generate problem!"));
    }

    state.Store = settings::SettingsStore::Open(inputs.settingsFile);
    settings::SettingsStore& store = *state.Store;
    if (!store.opened())
        state.NoteFailure(QStringLiteral("Error: Registry open problem!"));

    // Copies started together must not all read the same count: the count is read
    // and raised under the shared lock. Without it, this start does not check. A
    // lock's name that holds something else (a FIFO it would wait on for good) is
    // not handed to the lock at all.
    std::unique_ptr<QLockFile> lock;
    bool locked = true;
    if (store.opened()) {
        if (store.lockFileUsable()) {
            lock = std::make_unique<QLockFile>(store.lockFileName());
            lock->setStaleLockTime(kLockStaleMs);
            locked = lock->tryLock(kLockDeadlineMs);
        } else {
            locked = false;
        }
        if (!locked)
            state.NoteFailure(QStringLiteral("Error: Settings lock problem!"));
    }
    // Settings that are there but cannot be read may hold the user's "off": then
    // nothing leaves the machine. Settings not made yet are made by this check.
    const bool mayAsk = locked && !store.refused();

    const QString lastCheck = store.ReadString(QStringLiteral("LastUpdateCheck"), QString());
    const int lastCount = store.ReadInteger(QStringLiteral("LastUpdateCheckCount"), 0);
    state.ShowUpdate = store.ReadInteger(QStringLiteral("ShowUpdate"), 1);

    const QDate day = inputs.today ? inputs.today() : QDate::currentDate();
    const QString today = QLocale().toString(day, QLocale::ShortFormat);
    const bool sameDay = lastCheck == today;
    if (mayAsk && state.ShowUpdate != 0 && !(sameDay && lastCount >= kChecksPerDay)) {
        // Counted before the server is asked: a check that fails counts as well.
        const int count = sameDay ? lastCount + 1 : 1;
        store.WriteString(QStringLiteral("LastUpdateCheck"), today);
        store.WriteInteger(QStringLiteral("LastUpdateCheckCount"), count);
        if (lock)
            lock->unlock();

        try {
            const QStringList fields{
                QStringLiteral("cmd=check"),
                QStringLiteral("appname=") + inputs.AppTitle,
                QStringLiteral("version=") + inputs.AppVersion,
                QStringLiteral("os=") + (inputs.os ? GetOsDescription(*inputs.os) : QString()),
                QStringLiteral("local=") +
                    (inputs.locale ? GetUserLocaleName(*inputs.locale) : QStringLiteral("xx")),
                QStringLiteral("guid=") + guid,
            };
            const ExchangeResult exchange = Exchange(inputs.server, QString::fromLatin1(kCheckPath),
                                                     fields, kCheckTimeoutMs, cancellation);
            if (exchange.httpsFailure) {
                state.NoteFailure(QStringLiteral("HTTPS Response:\r") + *exchange.httpsFailure);
                // An answer over plain HTTP outweighs everything noted so far.
                if (exchange.reply)
                    state.ClearFailures();
            }
            if (exchange.httpFailure)
                state.NoteFailure(QStringLiteral("HTTP Response:\r") + *exchange.httpFailure);

            const QStringList lines =
                exchange.reply ? SplitReplyLines(*exchange.reply) : QStringList();
            if (!lines.isEmpty() && lines[0].startsWith(QLatin1String("ERROR")))
                state.NoteFailure(QStringLiteral("INVALIDSERVERRESPONSE"));
            if (!state.CheckFailed) {
                const QString result = lines.size() >= 4
                                           ? ReadReplyTag(lines[3], QStringLiteral("result"))
                                           : QString();
                if (result != u"0" && result != u"1")
                    state.NoteFailure(QStringLiteral("INVALIDSERVERRESPONSE"));
            }
            if (!state.CheckFailed) {
                state.LatestVersion = ReadReplyTag(lines[0], QStringLiteral("version"));
                state.DownloadURL = ReadReplyTag(lines[1], QStringLiteral("url"));
                if (NoticeDue(state.LatestVersion, inputs.AppVersion, state.ShowUpdate, count))
                    state.NewVersionAvailable = true;
            }
        } catch (const std::exception& e) {
            state.NoteFailure(QString::fromLatin1(typeid(e).name()) + QStringLiteral(" Error:\r") +
                              QString::fromUtf8(e.what()));
        }
    }

    state.CheckFinished.store(true, std::memory_order_release);
}

// --- The checker thread

struct TChecker::Job {
    CheckInputs inputs;
    std::shared_ptr<CheckState> state;
    Cancellation cancellation;
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

TChecker::TChecker(CheckInputs inputs, std::shared_ptr<CheckState> state)
    : job_(std::make_shared<Job>()) {
    job_->inputs = std::move(inputs);
    job_->state = std::move(state);
    // The thread holds the job itself, so that it never depends on this object.
    thread_ = std::thread([job = job_] {
        CheckNow(job->inputs, *job->state, &job->cancellation);
        {
            const std::lock_guard lock(job->mutex);
            job->done = true;
        }
        job->ended.notify_all();
    });
}

TChecker::~TChecker() {
    job_->cancellation.Cancel();
    // A cancelled request ends at once; should the thread still be busy (a slow
    // disk under the settings file), it is left to the end of the process rather
    // than holding up the exit.
    std::unique_lock lock(job_->mutex);
    const bool ended =
        job_->ended.wait_for(lock, std::chrono::seconds(2), [this] { return job_->done; });
    lock.unlock();
    if (ended)
        thread_.join();
    else
        thread_.detach();
}

} // namespace zentaro::online
