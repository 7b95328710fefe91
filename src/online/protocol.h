#pragma once

#include "platform/machineidentity.h"
#include "platform/osdescription.h"
#include "platform/userlocale.h"

#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>
#include <stdexcept>

namespace zentaro::online {

// The two requests to the maker's server: where they go and how long each
// attempt may wait to connect and for the reply.
inline constexpr char kCheckPath[] = "/php/check2.php";
inline constexpr char kFeedbackPath[] = "/php/feedback.php";
inline constexpr int kCheckTimeoutMs = 10000;
inline constexpr int kFeedbackTimeoutMs = 3000;

// A reply is a few lines of text. A larger one, headers counted, is refused as
// soon as it passes the size, so that a broken or hostile server cannot fill
// the memory.
inline constexpr qint64 kMaxReplyBytes = qint64{1024} * 1024;

// How requests reach the maker's server.
struct ServerAccess {
    QString host; // ServerHost: a host name, optionally with ":port"
    // Replaces every request's time-out; for tests.
    std::optional<int> timeoutMs;
    // Certification authorities trusted besides the system's; for tests only,
    // the program itself never sets any.
    QList<QSslCertificate> extraTrust;

    int TimeoutFor(int requestTimeoutMs) const { return timeoutMs.value_or(requestTimeoutMs); }
};

// Ends a request that waits on the network, from any thread: the request
// fails within moments. Used when the program closes during an update check.
class Cancellation {
public:
    void Cancel();
    bool Cancelled() const;

private:
    std::atomic<bool> cancelled_{false};
};

// The body of a form POST: each "name=value" line split at its first "=", both
// parts escaped byte by byte from UTF-8 (A-Z a-z 0-9 * - . _ stay, a space
// becomes "+", every other byte "%XX"), pairs joined with "&".
QByteArray EncodeFormBody(const QStringList& fields);

struct PostResult {
    bool ok = false;
    QString reply; // the body as text, when ok
    QString error; // the client's message, when not
};

// One POST of fields to address with its own client, on the calling thread:
// when it returns, nothing of the attempt is left open or running. "https://"
// (any letter case) goes through TLS; an error status is then still a reply.
// Anything else goes as plain HTTP, where an error status fails. timeoutMs
// bounds the connection and each wait for reply data, twice timeoutMs the whole
// attempt. The request goes once: a reply that breaks off fails the attempt, it
// is never sent again. Every byte of the reply counts against kMaxReplyBytes as
// it arrives (status line, headers, body), and so does the body once unpacked.
// Besides Host, Content-Type and Content-Length it carries only fixed headers
// (User-Agent, Accept-Language, Accept-Encoding, Connection), nothing from the
// user's system. Redirects are not followed; the system's proxy is used.
// Never throws.
PostResult PostForm(const QString& address, const QStringList& fields, int timeoutMs,
                    const QList<QSslCertificate>& extraTrust = {},
                    const Cancellation* cancellation = nullptr);

// The two-attempt exchange: HTTPS, and only when that fails, plain HTTP to the
// same host and path.
struct ExchangeResult {
    std::optional<QString> reply; // none when both attempts failed
    std::optional<QString> httpsFailure;
    std::optional<QString> httpFailure;
};
ExchangeResult Exchange(const ServerAccess& server, const QString& path, const QStringList& fields,
                        int requestTimeoutMs, const Cancellation* cancellation = nullptr);

// A reply's lines: CR LF, CR and LF each end one; NUL ends the text; a final
// line break adds no empty line.
QStringList SplitReplyLines(const QString& reply);

// The text between "<tag>" and "</tag>" when line is exactly that (the tag in
// lower case, nothing trimmed), else the empty text.
QString ReadReplyTag(const QString& line, const QString& tag);

// "<product> (Version <major>.<minor>, Build <build>, 64-bit Edition)", with
// " Service Pack <n>" after the product when one is installed.
QString FormatOsDescription(const platform::OsFacts& facts);
QString GetOsDescription(const platform::OsDescription& os);

// The user's locale as "en-US", "xx" when unknown.
QString GetUserLocaleName(const platform::UserLocale& locale);

// The machine's identifier exists but could not be read.
class MachineGuidError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// This product's identifier of the machine, shaped like a GUID
// ("6f1c...-....-4...-....-............"): a keyed hash of the system's machine
// id, so that the id itself never leaves the machine and other programs cannot
// link theirs to it. Empty when the system has none; throws MachineGuidError
// when it has one that cannot be read.
QString GetMachineGuid(const platform::MachineIdentity& identity);

} // namespace zentaro::online
