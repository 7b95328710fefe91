#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTcpServer>
#include <functional>

namespace zentaro::testing {

// A small web server of the tests' own on 127.0.0.1 with an ephemeral port. One
// port serves both schemes: a connection whose first byte starts a TLS handshake
// is served over TLS, any other as plain HTTP. It runs in the thread that made
// it, so that thread must keep its events flowing while a client waits.
class TestServer : public QTcpServer {
    Q_OBJECT

public:
    struct Request {
        bool tls = false;
        QByteArray method;
        QByteArray path;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QList<QByteArray> headerNames;        // as sent, in order
        QByteArray body;
        // The body's form fields, decoded, in order.
        QList<QPair<QString, QString>> fields;
        QString field(const QString& name) const;
        bool hasField(const QString& name) const;
    };

    struct Answer {
        int status = 200;
        QByteArray contentType = "text/plain; charset=UTF-8";
        QByteArray body;
        QByteArray extraHeaders; // whole header lines, each ending in CR LF
        bool gzip = false;       // sent gzip-compressed, marked as such
        bool hang = false;       // read the request, never answer
        // Ways of breaking off an answer once the request is read.
        enum class Fault {
            None,
            CutHeaders,     // the status line and half a header, then the connection closes
            Garbage,        // a line that is no status line, then the connection closes
            Drop,           // the connection closes without a byte, as after a reset
            EndlessHeaders, // the status line, then header lines for ever, one each 50 ms
            FloodHeaders,   // the status line, then header lines for ever, as fast as they go
            Trickle,        // the head at once, then the body one byte each 50 ms
        };
        Fault fault = Fault::None;

        // status with body of contentType; the rest as usual. (A function, not an
        // aggregate initializer, so that no member goes without its default.)
        static Answer Reply(int status, QByteArray contentType, QByteArray body) {
            Answer answer;
            answer.status = status;
            answer.contentType = std::move(contentType);
            answer.body = std::move(body);
            return answer;
        }
        // The reply breaks off or never ends, as fault says.
        static Answer Failing(Fault fault) {
            Answer answer;
            answer.fault = fault;
            return answer;
        }
        // The request is read and never answered.
        static Answer Hang() {
            Answer answer;
            answer.hang = true;
            return answer;
        }
    };

    // How the TLS handshake goes.
    enum class Tls {
        Trusted,   // completes with the certificate the tests trust
        Untrusted, // completes with a certificate nobody trusts
        Refused,   // the connection is closed at its first byte
    };

    explicit TestServer(QObject* parent = nullptr);
    ~TestServer() override;

    // Listens on 127.0.0.1, any free port.
    bool start();
    // "127.0.0.1:<port>", the ServerHost of the tests.
    QString host() const;
    // The certificate a client must trust to accept the Trusted handshake (PEM).
    static QByteArray trustedCertificatePem();
    // Null where this build's TLS backend can serve the handshake; otherwise why
    // not, for QSKIP in the tests and rows whose point is an answer over HTTPS.
    // There every TLS connection fails at the handshake, and a client that falls
    // back to plain HTTP is answered there.
    static const char* tlsMissing();

    Tls tls = Tls::Trusted;
    // The answer to each request; "OK" with status 200 unless set.
    std::function<Answer(const Request&)> respond;
    QList<Request> requests;

protected:
    void incomingConnection(qintptr descriptor) override;
};

// gzip (RFC 1952) of data, for compressed replies.
QByteArray Gzip(const QByteArray& data);

// The reply of a successful update check naming version and url.
QByteArray CheckReply(const QByteArray& version, const QByteArray& url = "http://dl.example/z.zip",
                      const QByteArray& lineEnd = "\r\n");

} // namespace zentaro::testing
