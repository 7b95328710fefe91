#include "online/protocol.h"

#include "i18n/catalogue.h"

#include <QEventLoop>
#include <QMessageAuthenticationCode>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace zentaro::online {

namespace {

// How often a request in progress looks for a cancellation.
constexpr int kCancellationPollMs = 50;

// Fixed values for the headers the client would otherwise fill in from the
// system: they say nothing about the user or the machine.
constexpr char kUserAgent[] = "Zentaro";
constexpr char kAcceptLanguage[] = "*";

// The key of this product's machine identifier. Changing it changes every
// machine's identifier.
constexpr std::array<unsigned char, 16> kMachineGuidKey{
    0xf0, 0xcc, 0x5e, 0xc2, 0x38, 0xd1, 0xe9, 0x40, 0x49, 0x7e, 0xe6, 0x72, 0xdf, 0x33, 0x0c, 0x09};

// Letters, digits and "*-._" stay, "~" is escaped, a space becomes "+".
void AppendEscaped(QByteArray& out, const QString& text) {
    out += text.toUtf8().toPercentEncoding(" *", "~").replace(' ', '+');
}

// HTTP statuses that Qt reports as errors of the content or the server, as
// opposed to failures of the transfer itself.
bool IsStatusError(QNetworkReply::NetworkError error) {
    return (error >= QNetworkReply::ContentAccessDenied &&
            error <= QNetworkReply::UnknownContentError) ||
           (error >= QNetworkReply::InternalServerError &&
            error <= QNetworkReply::UnknownServerError) ||
           error == QNetworkReply::ProtocolInvalidOperationError || // 400
           error == QNetworkReply::ProxyAuthenticationRequiredError;
}

// The character set that a Content-Type header names, empty when none.
QByteArray Charset(const QByteArray& contentType) {
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray parameter = parts[i].trimmed();
        const qsizetype equals = parameter.indexOf('=');
        if (equals < 0 || parameter.left(equals).trimmed().toLower() != "charset")
            continue;
        QByteArray value = parameter.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

// The body as text in the character set the reply names; UTF-8 when it names
// none, or one this system does not know.
QString DecodeBody(const QByteArray& body, const QByteArray& contentType) {
    const QByteArray charset = Charset(contentType);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid())
            return decoder.decode(body);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    return utf8.decode(body);
}

// A request body that can be read once only. When a reply breaks off, Qt's
// client sends the request again if it can rewind the body; a POST that was
// perhaps taken must not go twice, so this body refuses to rewind and the
// attempt fails instead.
class OneShotBody : public QIODevice {
public:
    explicit OneShotBody(QByteArray data) : data_(std::move(data)) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 bytesAvailable() const override {
        return data_.size() - offset_ + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* out, qint64 maxSize) override {
        const qint64 count = std::min(maxSize, data_.size() - offset_);
        std::memcpy(out, data_.constData() + offset_, static_cast<size_t>(count));
        offset_ += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray data_;
    qint64 offset_ = 0;
};

// The bytes of a reply's headers as they were received, near enough.
qint64 HeaderBytes(const QNetworkReply& reply) {
    qint64 bytes = 0;
    for (const QNetworkReply::RawHeaderPair& header : reply.rawHeaderPairs())
        bytes += header.first.size() + header.second.size() + 4; // ": " and CR LF
    return bytes;
}

} // namespace

// --- Cancellation

void Cancellation::Cancel() {
    cancelled_.store(true, std::memory_order_release);
}

bool Cancellation::Cancelled() const {
    return cancelled_.load(std::memory_order_acquire);
}

// --- Requests

QByteArray EncodeFormBody(const QStringList& fields) {
    QByteArray body;
    for (const QString& line : fields) {
        if (!body.isEmpty())
            body += '&';
        const qsizetype equals = line.indexOf(u'=');
        AppendEscaped(body, equals < 0 ? line : line.left(equals));
        body += '=';
        if (equals >= 0)
            AppendEscaped(body, line.mid(equals + 1));
    }
    return body;
}

PostResult PostForm(const QString& address, const QStringList& fields, int timeoutMs,
                    const QList<QSslCertificate>& extraTrust, const Cancellation* cancellation) {
    PostResult result;
    const bool https = address.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
    const QUrl url(address);
    if (!url.isValid() || url.host().isEmpty()) {
        result.error = QStringLiteral("Invalid address: ") + address;
        return result;
    }

    const QByteArray form = EncodeFormBody(fields);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      https ? QByteArrayLiteral("application/x-www-form-urlencoded; charset=UTF-8")
                            : QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    // HTTP/1.1 only: "Connection" is not a header HTTP/2 may carry.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    // Counted from the start and again after each transfer of data: it bounds the
    // connection as well as every wait for the reply. The deadline below bounds
    // the whole attempt.
    request.setTransferTimeout(timeoutMs);
    // The body is sent straight from a device that cannot be rewound (see
    // OneShotBody); without a length Qt would buffer it and so could send it again.
    request.setHeader(QNetworkRequest::ContentLengthHeader, form.size());
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    request.setRawHeader("User-Agent", kUserAgent);
    request.setRawHeader("Accept-Language", kAcceptLanguage);
    if (https) {
        request.setRawHeader("Connection", "close");
        if (!extraTrust.isEmpty()) {
            QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
            tls.addCaCertificates(extraTrust);
            request.setSslConfiguration(tls);
        }
    }

    // First: it gives a thread not started by Qt the event dispatcher that the
    // client's timers need.
    QEventLoop loop;
    // One client per request, gone when it returns; nothing is kept between requests.
    QNetworkAccessManager client;
    client.setAutoDeleteReplies(false);
    OneShotBody upload(form);
    QByteArray body;
    qint64 headerBytes = 0;
    bool tooLarge = false;
    // Our connections are dropped here, on this thread, before the reply goes;
    // left to the reply's end, the client's own thread may free them later.
    const auto release = [](QNetworkReply* r) {
        QObject::disconnect(r, nullptr, nullptr, nullptr);
        delete r;
    };
    std::unique_ptr<QNetworkReply, decltype(release)> reply(client.post(request, &upload), release);
    // Headers and body together: the headers count once they are complete.
    const auto limit = [&] {
        if (headerBytes + body.size() > kMaxReplyBytes && !tooLarge) {
            tooLarge = true;
            reply->abort();
        }
    };
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, reply.get(), [&] {
        headerBytes = HeaderBytes(*reply);
        limit();
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), [&] {
        body += reply->readAll();
        limit();
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);

    // Data that keeps trickling in restarts the transfer time-out; the attempt as
    // a whole may take no longer than the time to connect plus the time to reply.
    const int deadlineMs = 2 * timeoutMs;
    bool overdue = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply.get(), [&] {
        overdue = true;
        reply->abort();
    });
    deadline.start(deadlineMs);

    // A cancellation is looked for from this thread's own loop, so that nothing
    // crosses between threads but the flag.
    constexpr int kCancelled = 1;
    QTimer watch;
    watch.setInterval(kCancellationPollMs);
    QObject::connect(&watch, &QTimer::timeout, &loop, [&loop, cancellation] {
        if (cancellation->Cancelled())
            loop.exit(kCancelled);
    });
    bool cancelled = cancellation && cancellation->Cancelled();
    if (!cancelled && !reply->isFinished()) {
        if (cancellation)
            watch.start();
        cancelled = loop.exec() == kCancelled;
    }
    if (cancelled) {
        reply->abort();
        result.error = QStringLiteral("Operation canceled");
        return result;
    }
    if (overdue) {
        result.error = QStringLiteral("No complete reply within %1 ms").arg(deadlineMs);
        return result;
    }
    if (!tooLarge && reply->isOpen())
        body += reply->readAll();
    headerBytes = std::max(headerBytes, HeaderBytes(*reply));
    if (tooLarge || headerBytes + body.size() > kMaxReplyBytes) {
        result.error = QStringLiteral("The reply is larger than %1 bytes").arg(kMaxReplyBytes);
        return result;
    }

    const QNetworkReply::NetworkError error = reply->error();
    const bool statusReply = https &&
                             reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid() &&
                             IsStatusError(error);
    if (error == QNetworkReply::ContentReSendError) {
        // Qt wanted to send the request again (see OneShotBody).
        result.error = QStringLiteral("The connection broke off before the reply was complete");
        return result;
    }
    if (error != QNetworkReply::NoError && !statusReply) {
        result.error = reply->errorString();
        return result;
    }
    result.ok = true;
    result.reply = DecodeBody(body, reply->rawHeader("Content-Type"));
    return result;
}

ExchangeResult Exchange(const ServerAccess& server, const QString& path, const QStringList& fields,
                        int requestTimeoutMs, const Cancellation* cancellation) {
    ExchangeResult result;
    const int timeout = server.TimeoutFor(requestTimeoutMs);
    const PostResult secure = PostForm(QStringLiteral("https://") + server.host + path, fields,
                                       timeout, server.extraTrust, cancellation);
    if (secure.ok) {
        result.reply = secure.reply;
        return result;
    }
    result.httpsFailure = secure.error;
    if (cancellation && cancellation->Cancelled()) {
        result.httpFailure = secure.error;
        return result;
    }
    const PostResult plain =
        PostForm(QStringLiteral("http://") + server.host + path, fields, timeout, {}, cancellation);
    if (plain.ok)
        result.reply = plain.reply;
    else
        result.httpFailure = plain.error;
    return result;
}

// --- Replies

QStringList SplitReplyLines(const QString& reply) {
    QStringView text(reply);
    if (const qsizetype nul = text.indexOf(QChar(u'\0')); nul >= 0)
        text = text.left(nul);
    return i18n::SplitLines(text);
}

QString ReadReplyTag(const QString& line, const QString& tag) {
    if (line.isEmpty() || tag.isEmpty())
        return {};
    const QString lower = tag.toLower();
    const QString opening = u'<' + lower + u'>';
    const QString closing = QStringLiteral("</") + lower + u'>';
    if (line.size() < opening.size() + closing.size() || !line.startsWith(opening) ||
        !line.endsWith(closing))
        return {};
    return line.mid(opening.size(), line.size() - opening.size() - closing.size());
}

// --- The facts every update check sends

QString FormatOsDescription(const platform::OsFacts& facts) {
    QString text = QString::fromStdString(facts.productName);
    if (facts.servicePackMajor > 0)
        text += QStringLiteral(" Service Pack %1").arg(facts.servicePackMajor);
    text +=
        QStringLiteral(" (Version %1.%2, Build %3, %4)")
            .arg(facts.major)
            .arg(facts.minor)
            .arg(facts.build)
            .arg(facts.x64 ? QStringLiteral("64-bit Edition") : QStringLiteral("32-bit Edition"));
    return text;
}

QString GetOsDescription(const platform::OsDescription& os) {
    return FormatOsDescription(os.Describe());
}

QString GetUserLocaleName(const platform::UserLocale& locale) {
    const QString name = QString::fromStdString(locale.LocaleName());
    return name.isEmpty() ? QStringLiteral("xx") : name;
}

QString GetMachineGuid(const platform::MachineIdentity& identity) {
    const platform::MachineId id = identity.ReadMachineId();
    switch (id.status) {
    case platform::MachineId::Status::Missing:
        return {};
    case platform::MachineId::Status::Unreadable:
        throw MachineGuidError("the machine id cannot be read");
    case platform::MachineId::Status::Found:
        break;
    }
    const QByteArray machine = QByteArray::fromHex(QByteArray::fromStdString(id.value));
    QByteArray hash = QMessageAuthenticationCode::hash(
        machine,
        QByteArray(reinterpret_cast<const char*>(kMachineGuidKey.data()), kMachineGuidKey.size()),
        QCryptographicHash::Sha256);
    hash.truncate(16);
    // Marked as a random (version 4) UUID of the standard variant, as GUIDs are.
    hash[6] = static_cast<char>((hash[6] & 0x0F) | 0x40);
    hash[8] = static_cast<char>((hash[8] & 0x3F) | 0x80);
    const QByteArray hex = hash.toHex();
    return QString::fromLatin1(hex.left(8) + '-' + hex.mid(8, 4) + '-' + hex.mid(12, 4) + '-' +
                               hex.mid(16, 4) + '-' + hex.mid(20));
}

} // namespace zentaro::online
