#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUrl>

namespace zentaro::online {

// The bytes of a form POST to url: the request line, then Host, Content-Type,
// Content-Length, User-Agent, Accept-Language, Connection and Accept-Encoding,
// then body. Over TLS the content type names the character set and the
// connection is to close; plain HTTP keeps the usual "Keep-Alive". throughProxy:
// the request goes to an HTTP proxy, which wants the whole address in the
// request line.
QByteArray FormatPostRequest(const QUrl& url, bool tls, const QByteArray& body,
                             bool throughProxy = false);

// Reads an HTTP/1.1 reply as its bytes arrive, whatever the pieces. Every byte
// received counts against the limit, the status line and headers as well as
// the body and its framing, and the reply fails as soon as it passes it. It
// keeps only what the client uses: the status, the body and three headers.
class ReplyReader {
public:
    enum class State { Reading, Complete, Failed };

    explicit ReplyReader(qint64 limit);

    // Takes the next bytes; nothing more is read once the reply is complete or
    // has failed.
    State Feed(QByteArrayView data);
    // The server closed the connection: a reply without a length is complete,
    // any other one incomplete is broken.
    State Closed();

    State state() const { return state_; }
    bool tooLarge() const { return tooLarge_; }
    QString error() const { return error_; }
    int status() const { return status_; }
    // The status line's and headers' bytes, as received.
    qint64 headBytes() const { return headBytes_; }
    // The body, without its chunk framing but still as Content-Encoding says.
    const QByteArray& body() const { return body_; }
    const QByteArray& contentType() const { return contentType_; }
    const QByteArray& contentEncoding() const { return contentEncoding_; }

private:
    enum class Part {
        StatusLine,
        Headers,
        Body,
        UntilClose,
        ChunkSize,
        ChunkData,
        ChunkEnd,
        Trailer
    };

    void Parse();
    // The next line from pos_, without its CR LF (or LF); false when it has not
    // all arrived.
    bool NextLine(QByteArrayView& line);
    void StatusLine(QByteArrayView line);
    void Header(QByteArrayView line);
    void HeadEnds();
    void TakeBody(qint64 most);
    void Fail(const QString& message);

    qint64 limit_;
    State state_ = State::Reading;
    bool tooLarge_ = false;
    QString error_;
    qint64 received_ = 0;
    QByteArray buffer_;     // what is received and not yet read
    qsizetype pos_ = 0;     // where reading goes on in buffer_
    qsizetype scanned_ = 0; // no line ends in buffer_ before this
    Part part_ = Part::StatusLine;
    qint64 remaining_ = 0; // of the body or the current chunk
    int status_ = 0;
    qint64 headBytes_ = 0;
    QByteArray contentType_;
    QByteArray contentEncoding_;
    QByteArray contentLength_;
    QByteArray transferEncoding_;
    QByteArray body_;
};

} // namespace zentaro::online
