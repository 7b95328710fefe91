#include "online/httpmessage.h"

#include <algorithm>

namespace zentaro::online {

namespace {

// Fixed values for headers that clients often fill in from the system: they say
// nothing about the user or the machine.
constexpr char kUserAgent[] = "Zentaro";
constexpr char kAcceptLanguage[] = "*";
// What UnpackBody can undo.
constexpr char kAcceptEncoding[] = "gzip, deflate";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

QByteArray FormatPostRequest(const QUrl& url, bool tls, const QByteArray& body, bool throughProxy) {
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (const int port = url.port(); port != -1 && port != (tls ? 443 : 80))
        host += ':' + QByteArray::number(port);
    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    if (throughProxy)
        target = (tls ? "https://" : "http://") + host + target;

    QByteArray request = "POST " + target + " HTTP/1.1\r\n";
    request += "Host: " + host + "\r\n";
    request += tls ? "Content-Type: application/x-www-form-urlencoded; charset=UTF-8\r\n"
                   : "Content-Type: application/x-www-form-urlencoded\r\n";
    request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    request += QByteArray("User-Agent: ") + kUserAgent + "\r\n";
    request += QByteArray("Accept-Language: ") + kAcceptLanguage + "\r\n";
    request += tls ? "Connection: close\r\n" : "Connection: Keep-Alive\r\n";
    request += QByteArray("Accept-Encoding: ") + kAcceptEncoding + "\r\n\r\n";
    request += body;
    return request;
}

// --- ReplyReader

ReplyReader::ReplyReader(qint64 limit) : limit_(limit) {}

ReplyReader::State ReplyReader::Feed(QByteArrayView data) {
    if (state_ != State::Reading || data.isEmpty())
        return state_;
    // What fits is read; anything beyond the limit ends the reply.
    const qsizetype room = static_cast<qsizetype>(limit_ - received_);
    const bool over = data.size() > room;
    if (over)
        data = data.first(room);
    received_ += data.size();
    buffer_.append(data);
    Parse();
    // What has been read goes; what is left is the start of a line.
    buffer_.remove(0, pos_);
    scanned_ = std::max<qsizetype>(0, scanned_ - pos_);
    pos_ = 0;
    if (over && state_ == State::Reading) {
        tooLarge_ = true;
        Fail(QStringLiteral("The reply is larger than %1 bytes").arg(limit_));
    }
    return state_;
}

ReplyReader::State ReplyReader::Closed() {
    if (state_ != State::Reading)
        return state_;
    if (part_ == Part::UntilClose)
        state_ = State::Complete;
    else if (received_ == 0)
        Fail(QStringLiteral("The server closed the connection without a reply"));
    else
        Fail(QStringLiteral("The connection broke off before the reply was complete"));
    return state_;
}

void ReplyReader::Parse() {
    QByteArrayView line;
    while (state_ == State::Reading) {
        switch (part_) {
        case Part::StatusLine:
            if (!NextLine(line))
                return;
            StatusLine(line);
            break;
        case Part::Headers:
            if (!NextLine(line))
                return;
            if (line.isEmpty())
                HeadEnds();
            else
                Header(line);
            break;
        case Part::Body:
            TakeBody(remaining_);
            if (remaining_ > 0)
                return;
            state_ = State::Complete;
            break;
        case Part::UntilClose:
            TakeBody(buffer_.size() - pos_);
            return;
        case Part::ChunkSize: {
            if (!NextLine(line))
                return;
            const qsizetype end = line.indexOf(';');
            const QByteArray digits =
                line.first(end < 0 ? line.size() : end).toByteArray().trimmed();
            bool ok = !digits.isEmpty() && digits.size() <= 15;
            const qint64 size = ok ? digits.toLongLong(&ok, 16) : 0;
            if (!ok || digits.startsWith('-') || digits.startsWith('+'))
                Fail(QStringLiteral("The reply's chunk size is not valid"));
            remaining_ = size;
            part_ = size > 0 ? Part::ChunkData : Part::Trailer;
            break;
        }
        case Part::ChunkData:
            TakeBody(remaining_);
            if (remaining_ > 0)
                return;
            part_ = Part::ChunkEnd;
            break;
        case Part::ChunkEnd:
            if (!NextLine(line))
                return;
            if (!line.isEmpty())
                Fail(QStringLiteral("The reply's chunk is longer than its size"));
            part_ = Part::ChunkSize;
            break;
        case Part::Trailer:
            if (!NextLine(line))
                return;
            if (line.isEmpty())
                state_ = State::Complete;
            break;
        }
    }
}

bool ReplyReader::NextLine(QByteArrayView& line) {
    const qsizetype end = buffer_.indexOf('\n', std::max(pos_, scanned_));
    if (end < 0) {
        scanned_ = buffer_.size();
        return false;
    }
    line = QByteArrayView(buffer_).sliced(pos_, end - pos_);
    if (line.endsWith('\r'))
        line.chop(1);
    pos_ = end + 1;
    return true;
}

void ReplyReader::StatusLine(QByteArrayView line) {
    // "HTTP/1.x 200", then a reason or nothing.
    const bool valid = line.size() >= 12 && line.startsWith("HTTP/1.") && IsDigit(line[7]) &&
                       line[8] == ' ' && line[9] >= '1' && line[9] <= '9' && IsDigit(line[10]) &&
                       IsDigit(line[11]) && (line.size() == 12 || line[12] == ' ');
    if (!valid) {
        Fail(QStringLiteral("The server's reply is not HTTP"));
        return;
    }
    status_ = line.sliced(9, 3).toInt();
    part_ = Part::Headers;
}

void ReplyReader::Header(QByteArrayView line) {
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return; // a folded line, or none at all: nothing this client reads
    const QByteArray name = line.first(colon).toByteArray().trimmed().toLower();
    const QByteArray value = line.sliced(colon + 1).toByteArray().trimmed();
    const auto add = [&value](QByteArray& list) { list += list.isEmpty() ? value : ", " + value; };
    if (name == "content-type") {
        if (contentType_.isEmpty())
            contentType_ = value;
    } else if (name == "content-encoding") {
        add(contentEncoding_);
    } else if (name == "transfer-encoding") {
        add(transferEncoding_);
    } else if (name == "content-length") {
        if (!contentLength_.isEmpty() && contentLength_ != value)
            Fail(QStringLiteral("The reply has two lengths"));
        contentLength_ = value;
    }
}

void ReplyReader::HeadEnds() {
    headBytes_ = received_ - (buffer_.size() - pos_);
    if (status_ < 200) {
        // An interim reply; the real one follows.
        if (status_ == 101) {
            Fail(QStringLiteral("The server switched protocols"));
            return;
        }
        contentType_.clear();
        contentEncoding_.clear();
        contentLength_.clear();
        transferEncoding_.clear();
        part_ = Part::StatusLine;
        return;
    }
    if (status_ == 204 || status_ == 304) {
        state_ = State::Complete;
        return;
    }
    if (!transferEncoding_.isEmpty()) {
        const QByteArray last = transferEncoding_.mid(transferEncoding_.lastIndexOf(',') + 1);
        if (last.trimmed().toLower() != "chunked") {
            Fail(QStringLiteral("The reply's transfer encoding is not supported"));
            return;
        }
        part_ = Part::ChunkSize;
        return;
    }
    if (contentLength_.isEmpty()) {
        part_ = Part::UntilClose;
        return;
    }
    bool ok = contentLength_.size() <= 15 &&
              std::all_of(contentLength_.begin(), contentLength_.end(), IsDigit);
    remaining_ = ok ? contentLength_.toLongLong(&ok) : 0;
    if (!ok) {
        Fail(QStringLiteral("The reply's length is not valid"));
        return;
    }
    if (headBytes_ + remaining_ > limit_) {
        tooLarge_ = true;
        Fail(QStringLiteral("The reply is larger than %1 bytes").arg(limit_));
        return;
    }
    part_ = Part::Body;
}

void ReplyReader::TakeBody(qint64 most) {
    const qsizetype count = std::min<qsizetype>(most, buffer_.size() - pos_);
    body_.append(buffer_.constData() + pos_, count);
    pos_ += count;
    if (part_ != Part::UntilClose)
        remaining_ -= count;
}

void ReplyReader::Fail(const QString& message) {
    if (state_ != State::Reading)
        return;
    state_ = State::Failed;
    error_ = message;
}

} // namespace zentaro::online
