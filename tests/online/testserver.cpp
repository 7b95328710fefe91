#include "testserver.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>
#include <QUrl>
#include <array>

namespace zentaro::testing {

namespace {

QByteArray ReadData(const char* name) {
    QFile file(QStringLiteral(ZENTARO_TEST_DATA "/tls/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString DecodeFormPart(QByteArray part) {
    part.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(part));
}

QByteArray Reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

// One connection: decides the scheme at its first byte, reads one request,
// answers it and closes.
class Connection : public QObject {
public:
    Connection(TestServer& server, qintptr descriptor) : QObject(&server), server_(server) {
        socket_ = new QSslSocket(this);
        if (!socket_->setSocketDescriptor(descriptor)) {
            deleteLater();
            return;
        }
        connect(socket_, &QSslSocket::readyRead, this, [this] { OnReadable(); });
        connect(socket_, &QSslSocket::disconnected, this, [this] { deleteLater(); });
        connect(socket_, &QSslSocket::errorOccurred, this, [this] { socket_->abort(); });
        // Data that came before the signal was connected.
        if (socket_->bytesAvailable() > 0)
            OnReadable();
    }

private:
    void OnReadable() {
        if (!decided_) {
            char first = 0;
            if (socket_->peek(&first, 1) != 1)
                return;
            decided_ = true;
            if (first == 0x16) { // a TLS handshake record
                if (server_.tls == TestServer::Tls::Refused) {
                    socket_->abort();
                    deleteLater();
                    return;
                }
                const bool trusted = server_.tls == TestServer::Tls::Trusted;
                socket_->setLocalCertificate(
                    QSslCertificate(ReadData(trusted ? "trusted.crt" : "untrusted.crt")));
                socket_->setPrivateKey(
                    QSslKey(ReadData(trusted ? "trusted.key" : "untrusted.key"), QSsl::Rsa));
                request_.tls = true;
                socket_->startServerEncryption();
                return; // the request comes decrypted, with readyRead
            }
        }
        buffer_ += socket_->readAll();
        if (answered_ || !Complete())
            return;
        answered_ = true;
        server_.requests.append(request_);
        const TestServer::Answer answer = server_.respond
                                              ? server_.respond(request_)
                                              : TestServer::Answer::Reply(200, "text/plain", "OK");
        if (answer.hang)
            return;
        if (BreakOff(answer.fault))
            return;
        const QByteArray body = answer.gzip ? Gzip(answer.body) : answer.body;
        QByteArray response =
            "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + Reason(answer.status) + "\r\n";
        if (!answer.contentType.isEmpty())
            response += "Content-Type: " + answer.contentType + "\r\n";
        if (answer.gzip)
            response += "Content-Encoding: gzip\r\n";
        response += answer.extraHeaders;
        response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        response += "Connection: close\r\n\r\n";
        response += body;
        if (answer.fault == TestServer::Answer::Fault::Trickle) {
            // The head at once, so that every later byte is progress of the body.
            const qsizetype head = response.size() - body.size();
            Drip([response, head](int n) {
                return n == 0 ? response.left(head) : response.mid(head + n - 1, 1);
            });
            return;
        }
        socket_->write(response);
        socket_->disconnectFromHost();
    }

    // The faults that end an answer early. False when the answer goes on as usual.
    bool BreakOff(TestServer::Answer::Fault fault) {
        using Fault = TestServer::Answer::Fault;
        switch (fault) {
        case Fault::None:
        case Fault::Trickle:
            return false;
        case Fault::CutHeaders:
            socket_->write("HTTP/1.1 200 OK\r\nContent-Ty");
            socket_->disconnectFromHost();
            return true;
        case Fault::Garbage:
            socket_->write("NONSENSE\r\n\r\n");
            socket_->disconnectFromHost();
            return true;
        case Fault::Drop:
            socket_->abort();
            deleteLater();
            return true;
        case Fault::EndlessHeaders:
            Drip([](int n) {
                return n == 0 ? QByteArray("HTTP/1.1 200 OK\r\n")
                              : "X-Filler-" + QByteArray::number(n) + ": " + QByteArray(64, 'x') +
                                    "\r\n";
            });
            return true;
        case Fault::FloodHeaders: {
            QByteArray lines;
            for (int n = 0; n < 256; ++n)
                lines += "X-Flood: " + QByteArray(54, 'x') + "\r\n";
            // Topped up whenever what was written has gone out, until the client
            // goes; queued, as a TLS socket may report the bytes inside write().
            const auto more = [this, lines] {
                if (socket_->isOpen() && socket_->bytesToWrite() < 2 * lines.size())
                    socket_->write(lines);
            };
            connect(socket_, &QSslSocket::bytesWritten, this, more, Qt::QueuedConnection);
            socket_->write("HTTP/1.1 200 OK\r\n");
            more();
            return true;
        }
        }
        return false;
    }

    // Writes piece(0) now and piece(n) 50 ms after piece(n - 1), until a piece is
    // empty (then the connection closes) or the client goes.
    void Drip(std::function<QByteArray(int)> piece) {
        socket_->write(piece(0));
        auto* timer = new QTimer(this);
        timer->setInterval(50);
        connect(timer, &QTimer::timeout, this, [this, timer, piece, n = 1]() mutable {
            if (!socket_->isOpen()) { // the client has gone
                timer->stop();
                return;
            }
            const QByteArray next = piece(n++);
            if (next.isEmpty()) {
                timer->stop();
                socket_->disconnectFromHost();
                return;
            }
            socket_->write(next);
        });
        timer->start();
    }

    // Whether the buffer holds the whole request; fills request_ when it does.
    bool Complete() {
        const qsizetype headerEnd = buffer_.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return false;
        const QList<QByteArray> lines = buffer_.left(headerEnd).split('\n');
        const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
        request_.method = start.value(0);
        request_.path = start.value(1);
        request_.headers.clear();
        request_.headerNames.clear();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0) {
                request_.headerNames.append(lines[i].left(colon).trimmed());
                request_.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                        lines[i].mid(colon + 1).trimmed());
            }
        }
        const qsizetype length = request_.headers.value("content-length", "0").toLongLong();
        if (buffer_.size() - (headerEnd + 4) < length)
            return false;
        request_.body = buffer_.mid(headerEnd + 4, length);
        request_.fields.clear();
        if (!request_.body.isEmpty()) {
            for (const QByteArray& pair : request_.body.split('&')) {
                const qsizetype equals = pair.indexOf('=');
                request_.fields.append(
                    {DecodeFormPart(pair.left(equals)),
                     equals < 0 ? QString() : DecodeFormPart(pair.mid(equals + 1))});
            }
        }
        return true;
    }

    TestServer& server_;
    QSslSocket* socket_ = nullptr;
    QByteArray buffer_;
    TestServer::Request request_;
    bool decided_ = false;
    bool answered_ = false;
};

std::array<quint32, 256> CrcTable() {
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

quint32 Crc32(const QByteArray& data) {
    static const std::array<quint32, 256> table = CrcTable();
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data)
        crc = table[(crc ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void AppendLittleEndian(QByteArray& out, quint32 value) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

QString TestServer::Request::field(const QString& name) const {
    for (const auto& [key, value] : fields)
        if (key == name)
            return value;
    return {};
}

bool TestServer::Request::hasField(const QString& name) const {
    for (const auto& field : fields)
        if (field.first == name)
            return true;
    return false;
}

TestServer::TestServer(QObject* parent) : QTcpServer(parent) {}

TestServer::~TestServer() = default;

bool TestServer::start() {
    return listen(QHostAddress::LocalHost, 0);
}

QString TestServer::host() const {
    return QStringLiteral("127.0.0.1:%1").arg(serverPort());
}

QByteArray TestServer::trustedCertificatePem() {
    return ReadData("trusted.crt");
}

const char* TestServer::tlsMissing() {
    return ZENTARO_TEST_SERVES_TLS
               ? nullptr
               : "no TLS server under Wine: Qt's Schannel backend picks the server's "
                 "certificate with CertFindChainInStore, a stub in Wine's crypt32";
}

void TestServer::incomingConnection(qintptr descriptor) {
    new Connection(*this, descriptor);
}

QByteArray Gzip(const QByteArray& data) {
    // qCompress gives a 4-byte size, then a zlib stream: a 2-byte header, the
    // deflate data and a 4-byte checksum. gzip wraps the same deflate data.
    const QByteArray zlib = qCompress(data, 9);
    const QByteArray deflate = zlib.mid(4 + 2, zlib.size() - 4 - 2 - 4);
    QByteArray out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
    out += deflate;
    AppendLittleEndian(out, Crc32(data));
    AppendLittleEndian(out, static_cast<quint32>(data.size()));
    return out;
}

QByteArray CheckReply(const QByteArray& version, const QByteArray& url, const QByteArray& lineEnd) {
    return "<version>" + version + "</version>" + lineEnd + "<url>" + url + "</url>" + lineEnd +
           "<news></news>" + lineEnd + "<result>1</result>" + lineEnd;
}

} // namespace zentaro::testing
