#include "online/protocol.h"

#include "i18n/catalogue.h"
#include "online/httpmessage.h"
#include "online/inflate.h"

#include <QEventLoop>
#include <QMessageAuthenticationCode>
#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>
#include <array>

namespace zentaro::online {

namespace {

// How often a request in progress looks for a cancellation.
constexpr int kCancellationPollMs = 50;

// The key of this product's machine identifier. Changing it changes every
// machine's identifier.
constexpr std::array<unsigned char, 16> kMachineGuidKey{
    0xf0, 0xcc, 0x5e, 0xc2, 0x38, 0xd1, 0xe9, 0x40, 0x49, 0x7e, 0xe6, 0x72, 0xdf, 0x33, 0x0c, 0x09};

// Letters, digits and "*-._" stay, "~" is escaped, a space becomes "+".
void AppendEscaped(QByteArray& out, const QString& text) {
    out += text.toUtf8().toPercentEncoding(" *", "~").replace(' ', '+');
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

// The proxy the system or the program names for url, as a browser would use
// it: plain HTTP through an HTTP proxy goes to the proxy itself, with the whole
// address in the request line; TLS goes through a tunnel the proxy opens.
QNetworkProxy ProxyFor(const QUrl& url, bool https) {
    for (QNetworkProxy proxy : QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url))) {
        switch (proxy.type()) {
        case QNetworkProxy::HttpProxy:
            proxy.setRawHeader("User-Agent", "Zentaro");
            return proxy;
        case QNetworkProxy::HttpCachingProxy:
            if (https)
                continue;
            return proxy;
        case QNetworkProxy::NoProxy:
        case QNetworkProxy::Socks5Proxy:
            return proxy;
        default:
            continue;
        }
    }
    return QNetworkProxy(QNetworkProxy::NoProxy);
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
    const QString canceled = QStringLiteral("Operation canceled");
    if (cancellation && cancellation->Cancelled()) {
        result.error = canceled;
        return result;
    }

    // Everything happens on this thread, in this loop, and ends with it: when the
    // function returns, no thread, socket or buffer of the attempt is left.
    // First: it gives a thread not started by Qt the event dispatcher that the
    // socket and the timers need.
    QEventLoop loop;
    ReplyReader reader(kMaxReplyBytes);
    QString failure;
    bool done = false;
    QSslSocket socket;
    // The context of every connection below: it goes before the socket, so that
    // nothing of ours runs while the socket is torn down.
    QObject handlers;
    QTimer idle;
    QTimer deadline;
    QTimer watch;

    const auto end = [&](const QString& message) {
        if (done)
            return;
        done = true;
        failure = message;
        // At once: nothing more is read, nothing is left open.
        socket.abort();
        loop.quit();
    };
    const auto settle = [&] {
        if (reader.state() == ReplyReader::State::Complete)
            end({});
        else if (reader.state() == ReplyReader::State::Failed)
            end(reader.error());
    };
    // Only while the attempt is on: aborting the socket may report once more.
    const auto closed = [&] {
        if (done)
            return;
        reader.Feed(socket.readAll());
        reader.Closed();
        settle();
    };

    const QNetworkProxy proxy = ProxyFor(url, https);
    // Plain HTTP through an HTTP proxy is asked of the proxy itself.
    const bool forwarded = !https && (proxy.type() == QNetworkProxy::HttpProxy ||
                                      proxy.type() == QNetworkProxy::HttpCachingProxy);
    socket.setProxy(forwarded ? QNetworkProxy(QNetworkProxy::NoProxy) : proxy);
    const QByteArray request = FormatPostRequest(url, https, EncodeFormBody(fields), forwarded);

    // Counted from the start and again whenever data goes either way: it bounds
    // the connection as well as every wait for the reply.
    idle.setSingleShot(true);
    QObject::connect(&idle, &QTimer::timeout, &handlers,
                     [&] { end(QStringLiteral("Nothing received within %1 ms").arg(timeoutMs)); });
    // Data that keeps trickling in restarts the wait; the attempt as a whole may
    // take no longer than the time to connect plus the time to reply.
    const int deadlineMs = 2 * timeoutMs;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &handlers, [&] {
        end(QStringLiteral("No complete reply within %1 ms").arg(deadlineMs));
    });
    // A cancellation is looked for from this thread's own loop, so that nothing
    // crosses between threads but the flag.
    QObject::connect(&watch, &QTimer::timeout, &handlers, [&] {
        if (cancellation->Cancelled())
            end(canceled);
    });

    QObject::connect(&socket, https ? &QSslSocket::encrypted : &QSslSocket::connected, &handlers,
                     [&] {
                         idle.start();
                         socket.write(request);
                     });
    QObject::connect(&socket, &QSslSocket::bytesWritten, &handlers, [&] { idle.start(); });
    QObject::connect(&socket, &QSslSocket::readyRead, &handlers, [&] {
        if (done)
            return;
        idle.start();
        reader.Feed(socket.readAll());
        settle();
    });
    QObject::connect(&socket, &QSslSocket::disconnected, &handlers, closed);
    QObject::connect(&socket, &QSslSocket::errorOccurred, &handlers,
                     [&](QAbstractSocket::SocketError error) {
                         if (error == QAbstractSocket::RemoteHostClosedError)
                             closed();
                         else
                             end(socket.errorString());
                     });

    idle.start(timeoutMs);
    deadline.start(deadlineMs);
    if (cancellation)
        watch.start(kCancellationPollMs);
    const QString host = forwarded ? proxy.hostName() : url.host();
    const quint16 port =
        forwarded ? proxy.port() : static_cast<quint16>(url.port(https ? 443 : 80));
    if (https) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        if (!extraTrust.isEmpty())
            tls.addCaCertificates(extraTrust);
        socket.setSslConfiguration(tls);
        socket.connectToHostEncrypted(host, port);
    } else {
        socket.connectToHost(host, port);
    }
    if (!done)
        loop.exec();

    if (!failure.isEmpty()) {
        result.error = failure;
        return result;
    }
    const QString tooLarge =
        QStringLiteral("The reply is larger than %1 bytes").arg(kMaxReplyBytes);
    // The unpacked body counts with the headers, as the body as sent did.
    const Unpacked content =
        UnpackBody(reader.body(), reader.contentEncoding(), kMaxReplyBytes - reader.headBytes());
    switch (content.status) {
    case Unpacked::Status::Ok:
        break;
    case Unpacked::Status::TooLarge:
        result.error = tooLarge;
        return result;
    case Unpacked::Status::Damaged:
        result.error = QStringLiteral("The reply's compressed body is damaged");
        return result;
    case Unpacked::Status::Unknown:
        result.error = QStringLiteral("The reply's encoding is not supported: ") +
                       QString::fromLatin1(reader.contentEncoding());
        return result;
    }
    // Over TLS an error status still brings the reply; over plain HTTP it fails.
    if (!https && reader.status() >= 400) {
        result.error = QStringLiteral("Error transferring %1 - server replied status %2")
                           .arg(url.toDisplayString())
                           .arg(reader.status());
        return result;
    }
    result.ok = true;
    result.reply = DecodeBody(content.data, reader.contentType());
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
