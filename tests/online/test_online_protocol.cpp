// The request protocol: the form body, the transport against a real local
// server on both schemes, the reply's lines and tags, the facts a check sends,
// and the feedback's rules.
#include "online/feedbacktext.h"
#include "online/httpmessage.h"
#include "online/inflate.h"
#include "online/protocol.h"
#include "support/fakeonline.h"
#include "testserver.h"

#include <QLocale>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSslCertificate>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <thread>

using namespace zentaro;
using namespace zentaro::online;
using zentaro::testing::FixedMachine;
using zentaro::testing::TestServer;

namespace {

constexpr int kTestTimeoutMs = 5000;
using Fault = TestServer::Answer::Fault;

// German formats and language from the start, before Qt reads the environment:
// nothing of them may reach the server.
const bool kGermanEnvironment = [] {
    qputenv("LC_ALL", "de_DE.UTF-8");
    qputenv("LANG", "de_DE.UTF-8");
    qputenv("LANGUAGE", "de_DE");
    return true;
}();

QList<QSslCertificate> Trust() {
    return QSslCertificate::fromData(TestServer::trustedCertificatePem());
}

} // namespace

Q_DECLARE_METATYPE(TestServer::Answer)
Q_DECLARE_METATYPE(TestServer::Answer::Fault)
Q_DECLARE_METATYPE(ReplyReader::State)
Q_DECLARE_METATYPE(Unpacked::Status)

class TestOnlineProtocol : public QObject {
    Q_OBJECT

private slots:
    void formBody_data();
    void formBody();
    void requestsAsTheServerSeesThem_data();
    void requestsAsTheServerSeesThem();
    void replies_data();
    void replies();
    void readingReplies_data();
    void readingReplies();
    void unpacking_data();
    void unpacking();
    void plainHttpThroughAProxy();
    void untrustedCertificateFails();
    void httpsRefusedFallsBackToHttp();
    void httpsErrorStatusIsTheReply();
    void bothAttemptsFail();
    void cancellationEndsAWaitingRequest();
    void brokenReplyIsNotSentAgain_data();
    void brokenReplyIsNotSentAgain();
    void deadlineEndsAnEndlessReply_data();
    void deadlineEndsAnEndlessReply();
    void replyLines_data();
    void replyLines();
    void replyTag_data();
    void replyTag();
    void osDescription_data();
    void osDescription();
    void machineGuid();
    void validEmail_data();
    void validEmail();
    void composedFeedback_data();
    void composedFeedback();
    void delivered_data();
    void delivered();
};

void TestOnlineProtocol::formBody_data() {
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("space and ampersand") << QStringList{"v=a b&c"} << QByteArray("v=a+b%26c");
    QTest::newRow("equals in the value")
        << QStringList{"v=x=y==", "w="} << QByteArray("v=x%3Dy%3D%3D&w=");
    QTest::newRow("plus and percent") << QStringList{"v=1+1=2%"} << QByteArray("v=1%2B1%3D2%25");
    QTest::newRow("kept as they are")
        << QStringList{"A-z_0.9*=Zz09*-._"} << QByteArray("A-z_0.9*=Zz09*-._");
    QTest::newRow("outside ASCII, byte by byte") << QStringList{QString::fromUtf8("n=Grüße ü€")}
                                                 << QByteArray("n=Gr%C3%BC%C3%9Fe+%C3%BC%E2%82%AC");
    QTest::newRow("line breaks and slashes")
        << QStringList{"f=a\r\nb/c~"} << QByteArray("f=a%0D%0Ab%2Fc%7E");
    QTest::newRow("order kept, no trailing ampersand")
        << QStringList{"cmd=check", "b=2", "a=1"} << QByteArray("cmd=check&b=2&a=1");
    QTest::newRow("escaped name") << QStringList{"a b=c"} << QByteArray("a+b=c");
    QTest::newRow("nothing") << QStringList{} << QByteArray();
}

void TestOnlineProtocol::formBody() {
    QFETCH(QStringList, fields);
    QFETCH(QByteArray, body);
    QCOMPARE(EncodeFormBody(fields), body);
}

void TestOnlineProtocol::requestsAsTheServerSeesThem_data() {
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QByteArrayList>("headers");
    // Nothing but what the exchange needs, whatever the user's locale: the
    // client's own language and user-agent defaults are replaced by fixed values.
    QTest::newRow("https") << "https"
                           << QByteArrayList{"accept-encoding", "accept-language", "connection",
                                             "content-length",  "content-type",    "host",
                                             "user-agent"};
    QTest::newRow("http") << "http"
                          << QByteArrayList{"accept-encoding", "accept-language", "connection",
                                            "content-length",  "content-type",    "host",
                                            "user-agent"};
}

void TestOnlineProtocol::requestsAsTheServerSeesThem() {
    QFETCH(QString, scheme);
    QFETCH(QByteArrayList, headers);
    if (const char* why = TestServer::tlsMissing(); why && scheme == "https")
        QSKIP(why);
    QVERIFY(kGermanEnvironment);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto english = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
    TestServer server;
    QVERIFY(server.start());
    const QStringList fields{"cmd=check",   QString::fromUtf8("appname=KESTRIX - Zentaro"),
                             "version=1.0", QString::fromUtf8("os=Dëbian & co = 100%+"),
                             "local=en-US", "guid="};
    const PostResult result = PostForm(scheme + "://" + server.host() + "/php/check2.php", fields,
                                       kTestTimeoutMs, Trust());
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.reply, QStringLiteral("OK"));

    QCOMPARE(server.requests.size(), 1);
    const TestServer::Request& request = server.requests[0];
    const bool https = scheme == "https";
    QCOMPARE(request.tls, https);
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.path, QByteArray("/php/check2.php"));
    QCOMPARE(request.body, EncodeFormBody(fields));
    QCOMPARE(request.fields.size(), fields.size());
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const qsizetype equals = fields[i].indexOf('=');
        QCOMPARE(request.fields[i].first, fields[i].left(equals));
        QCOMPARE(request.fields[i].second, fields[i].mid(equals + 1));
    }
    QCOMPARE(request.headers.value("content-type"),
             https ? QByteArray("application/x-www-form-urlencoded; charset=UTF-8")
                   : QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(request.headers.value("connection").toLower(),
             https ? QByteArray("close") : QByteArray("keep-alive"));
    QByteArrayList names;
    for (const QByteArray& name : request.headerNames)
        names << name.toLower();
    std::sort(names.begin(), names.end());
    QCOMPARE(names, headers);
    QCOMPARE(request.headers.value("host"), server.host().toLatin1());
    QCOMPARE(request.headers.value("content-length"), QByteArray::number(request.body.size()));
    QCOMPARE(request.headers.value("user-agent"), QByteArray("Zentaro"));
    QCOMPARE(request.headers.value("accept-language"), QByteArray("*"));
    // Whatever this build of Qt can unpack: the same for every user.
    QVERIFY(request.headers.value("accept-encoding").contains("gzip"));
}

void TestOnlineProtocol::replies_data() {
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<TestServer::Answer>("answer");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("reply");

    const QString umlauts = QString::fromUtf8("Grüße");
    const QByteArray latin1 = umlauts.toLatin1();
    TestServer::Answer a;
    a.body = umlauts.toUtf8();
    a.contentType = "text/plain";
    QTest::newRow("no character set: UTF-8") << "https" << a << kTestTimeoutMs << true << umlauts;
    a.contentType = "text/plain; charset=ISO-8859-1";
    a.body = latin1;
    QTest::newRow("latin-1 over https") << "https" << a << kTestTimeoutMs << true << umlauts;
    QTest::newRow("latin-1 over http") << "http" << a << kTestTimeoutMs << true << umlauts;
    a.contentType = "text/html; charset=\"utf-8\"";
    a.body = "\xEF\xBB\xBFOK"; // a byte-order mark is no part of the text
    QTest::newRow("quoted charset, BOM") << "https" << a << kTestTimeoutMs << true << "OK";

    TestServer::Answer gzip;
    gzip.gzip = true;
    gzip.body = zentaro::testing::CheckReply("1.1");
    QTest::newRow("gzip") << "https" << gzip << kTestTimeoutMs << true
                          << QString::fromLatin1(gzip.body);

    TestServer::Answer failed;
    failed.status = 500;
    failed.contentType = "text/html";
    failed.body = "<html><body>Internal error</body></html>";
    QTest::newRow("500 over https is the reply")
        << "https" << failed << kTestTimeoutMs << true << QString::fromLatin1(failed.body);
    QTest::newRow("500 over http fails") << "http" << failed << kTestTimeoutMs << false << "";
    failed.status = 404;
    QTest::newRow("404 over https is the reply")
        << "https" << failed << kTestTimeoutMs << true << QString::fromLatin1(failed.body);

    TestServer::Answer moved;
    moved.status = 302;
    moved.body = "moved";
    QTest::newRow("redirect not followed") << "https" << moved << kTestTimeoutMs << true << "moved";

    TestServer::Answer big;
    big.body = QByteArray(kMaxReplyBytes + 1, 'x');
    QTest::newRow("over 1 MiB") << "https" << big << kTestTimeoutMs << false << "";
    // The headers count as well.
    big.body.chop(1);
    QTest::newRow("1 MiB of body and its headers")
        << "http" << big << kTestTimeoutMs << false << "";
    big.body.chop(1024);
    QTest::newRow("1 MiB with the headers")
        << "http" << big << kTestTimeoutMs << true << QString(kMaxReplyBytes - 1024, u'x');
    TestServer::Answer bomb;
    bomb.gzip = true;
    bomb.body = QByteArray(8 * kMaxReplyBytes, '\0');
    QTest::newRow("over 1 MiB once unpacked") << "https" << bomb << kTestTimeoutMs << false << "";

    TestServer::Answer silent;
    silent.hang = true;
    QTest::newRow("slower than the time-out, https") << "https" << silent << 300 << false << "";
    QTest::newRow("slower than the time-out, http") << "http" << silent << 300 << false << "";
}

void TestOnlineProtocol::replies() {
    QFETCH(QString, scheme);
    QFETCH(TestServer::Answer, answer);
    QFETCH(int, timeoutMs);
    QFETCH(bool, ok);
    QFETCH(QString, reply);
    if (const char* why = TestServer::tlsMissing(); why && scheme == "https")
        QSKIP(why);

    TestServer server;
    QVERIFY(server.start());
    if (answer.status == 302)
        answer.extraHeaders =
            "Location: " + scheme.toLatin1() + "://" + server.host().toLatin1() + "/elsewhere\r\n";
    server.respond = [answer](const TestServer::Request&) { return answer; };
    const PostResult result =
        PostForm(scheme.toUpper() + "://" + server.host() + "/p", {"cmd=x"}, timeoutMs, Trust());
    QCOMPARE(result.ok, ok);
    if (ok) {
        QCOMPARE(result.reply, reply);
    } else {
        QVERIFY(!result.error.isEmpty());
        QVERIFY(result.reply.isEmpty());
    }
    QCOMPARE(server.requests.size(), 1); // no retry, no redirect followed
    QCOMPARE(server.requests[0].tls, scheme == "https");
}

void TestOnlineProtocol::readingReplies_data() {
    using State = ReplyReader::State;
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<bool>("closed"); // the server closes the connection after it
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<State>("state");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("tooLarge");
    const qint64 cap = kMaxReplyBytes;
    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    QTest::newRow("length, more after it") << ok + "Content-Length: 2\r\n\r\nOKmore" << false << cap
                                           << State::Complete << 200 << QByteArray("OK") << false;
    QTest::newRow("chunked, extension and trailer")
        << ok + "Transfer-Encoding: chunked\r\n\r\n2;x=y\r\nOK\r\nA\r\n0123456789\r\n0\r\n"
                "X-T: 1\r\n\r\n"
        << false << cap << State::Complete << 200 << QByteArray("OK0123456789") << false;
    QTest::newRow("until closed") << QByteArray("HTTP/1.0 200 OK\r\n\r\nbody") << true << cap
                                  << State::Complete << 200 << QByteArray("body") << false;
    QTest::newRow("until closed, still open")
        << QByteArray("HTTP/1.0 200 OK\r\n\r\nbody") << false << cap << State::Reading << 200
        << QByteArray("body") << false;
    QTest::newRow("LF line ends") << QByteArray("HTTP/1.1 200 OK\nContent-Length: 2\n\nOK") << false
                                  << cap << State::Complete << 200 << QByteArray("OK") << false;
    QTest::newRow("interim reply first")
        << QByteArray("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\nContent-Length: "
                      "1\r\n\r\nx")
        << false << cap << State::Complete << 404 << QByteArray("x") << false;
    QTest::newRow("no content") << QByteArray("HTTP/1.1 204 No Content\r\n\r\n") << false << cap
                                << State::Complete << 204 << QByteArray() << false;
    QTest::newRow("not HTTP") << QByteArray("NONSENSE\r\n\r\n") << true << cap << State::Failed << 0
                              << QByteArray() << false;
    QTest::newRow("cut in the headers")
        << ok + "Content-Ty" << true << cap << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("body cut short") << ok + "Content-Length: 5\r\n\r\nabc" << true << cap
                                    << State::Failed << 200 << QByteArray("abc") << false;
    QTest::newRow("closed without a byte")
        << QByteArray() << true << cap << State::Failed << 0 << QByteArray() << false;
    QTest::newRow("negative length")
        << ok + "Content-Length: -1\r\n\r\n"
        << false << cap << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("two lengths") << ok + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nOK" << false
                                 << cap << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("chunk longer than its size")
        << ok + "Transfer-Encoding: chunked\r\n\r\n2\r\nOKK\r\n0\r\n\r\n"
        << false << cap << State::Failed << 200 << QByteArray("OK") << false;
    QTest::newRow("transfer encoding other than chunked")
        << ok + "Transfer-Encoding: gzip\r\n\r\n"
        << false << cap << State::Failed << 200 << QByteArray() << false;
    // The cap counts everything as it comes: unfinished headers, chunk framing,
    // and a length announced beyond it fails before the body.
    QTest::newRow("headers that never end")
        << ok + QByteArray("X-Filler: ").repeated(30) << false << qint64(200) << State::Failed
        << 200 << QByteArray() << true;
    QTest::newRow("one endless header line")
        << ok + "X-Filler: " + QByteArray(300, 'x') << false << qint64(200) << State::Failed << 200
        << QByteArray() << true;
    QTest::newRow("chunk framing counts")
        << ok + "Transfer-Encoding: chunked\r\n\r\n" + QByteArray("1\r\nx\r\n").repeated(30)
        << false << qint64(200) << State::Failed << 200 << QByteArray(25, 'x') << true;
    QTest::newRow("length beyond the cap")
        << ok + "Content-Length: 1000\r\n\r\n"
        << false << qint64(200) << State::Failed << 200 << QByteArray() << true;
    QTest::newRow("exactly the cap") << ok + "Content-Length: 3\r\n\r\nabc" << false << qint64(43)
                                     << State::Complete << 200 << QByteArray("abc") << false;
}

// Whatever pieces the reply comes in: all at once, or one byte at a time.
void TestOnlineProtocol::readingReplies() {
    QFETCH(QByteArray, received);
    QFETCH(bool, closed);
    QFETCH(qint64, limit);
    QFETCH(ReplyReader::State, state);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, tooLarge);
    for (const qsizetype piece : {received.size(), qsizetype{1}}) {
        ReplyReader reader(limit);
        for (qsizetype at = 0; at < received.size(); at += piece)
            reader.Feed(QByteArrayView(received).sliced(at, std::min(piece, received.size() - at)));
        if (closed)
            reader.Closed();
        QCOMPARE(reader.state(), state);
        QCOMPARE(reader.status(), status);
        if (state == ReplyReader::State::Failed)
            QVERIFY(!reader.error().isEmpty());
        QCOMPARE(reader.tooLarge(), tooLarge);
        QCOMPARE(reader.body().left(body.size()), body);
        if (state == ReplyReader::State::Complete)
            QCOMPARE(reader.body(), body);
    }
}

void TestOnlineProtocol::unpacking_data() {
    using Status = Unpacked::Status;
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QByteArray>("data");
    using zentaro::testing::Gzip;
    QByteArray text;
    for (int i = 0; i < 400; ++i)
        text += QByteArray::number(i * 7919 % 1000) + (i % 3 ? " version " : " url\r\n");
    QTest::newRow("none") << text << QByteArray() << Status::Ok << text;
    QTest::newRow("identity") << text << QByteArray("Identity") << Status::Ok << text;
    QTest::newRow("gzip") << Gzip(text) << QByteArray("gzip") << Status::Ok << text;
    QByteArray named = Gzip(text);
    named[3] = 8; // a file name follows the header
    named.insert(10, QByteArray("reply.txt\0", 10));
    QTest::newRow("gzip with a file name") << named << QByteArray("x-gzip") << Status::Ok << text;
    QTest::newRow("deflate in zlib's wrapper")
        << qCompress(text).mid(4) << QByteArray("deflate") << Status::Ok << text;
    QTest::newRow("bare deflate") << qCompress(text).mid(6).chopped(4) << QByteArray("deflate")
                                  << Status::Ok << text;
    QTest::newRow("stored, not compressed")
        << qCompress(text, 0).mid(4) << QByteArray("deflate") << Status::Ok << text;
    QByteArray damaged = Gzip(text);
    damaged[damaged.size() - 8] = static_cast<char>(damaged[damaged.size() - 8] ^ 1);
    QTest::newRow("wrong checksum")
        << damaged << QByteArray("gzip") << Status::Damaged << QByteArray();
    QTest::newRow("cut short") << Gzip(text).chopped(5) << QByteArray("gzip") << Status::Damaged
                               << QByteArray();
    QTest::newRow("not gzip") << text << QByteArray("gzip") << Status::Damaged << QByteArray();
    QTest::newRow("unpacks past the limit")
        << Gzip(QByteArray(100000, 'a')) << QByteArray("gzip") << Status::TooLarge << QByteArray();
    QTest::newRow("an encoding not offered")
        << text << QByteArray("br") << Status::Unknown << QByteArray();
}

void TestOnlineProtocol::unpacking() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, encoding);
    QFETCH(Unpacked::Status, status);
    QFETCH(QByteArray, data);
    const Unpacked unpacked = UnpackBody(body, encoding, 20000);
    QCOMPARE(unpacked.status, status);
    QCOMPARE(unpacked.data, data);
}

// As a browser does it: the proxy the system names gets the whole address.
void TestOnlineProtocol::plainHttpThroughAProxy() {
    TestServer proxy;
    QVERIFY(proxy.start());
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", proxy.serverPort()));
    const auto direct = qScopeGuard([] { QNetworkProxy::setApplicationProxy({}); });
    const PostResult result =
        PostForm("http://zentaro.invalid:81/php/check2.php", {"cmd=check"}, kTestTimeoutMs);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.reply, QStringLiteral("OK"));
    QCOMPARE(proxy.requests.size(), 1);
    QCOMPARE(proxy.requests[0].path, QByteArray("http://zentaro.invalid:81/php/check2.php"));
    QCOMPARE(proxy.requests[0].headers.value("host"), QByteArray("zentaro.invalid:81"));
    QCOMPARE(proxy.requests[0].body, QByteArray("cmd=check"));
}

void TestOnlineProtocol::untrustedCertificateFails() {
    // Where no handshake completes, both failures would come for that reason alone.
    if (const char* why = TestServer::tlsMissing())
        QSKIP(why);
    TestServer server;
    QVERIFY(server.start());
    server.tls = TestServer::Tls::Untrusted;
    const PostResult untrusted =
        PostForm("https://" + server.host() + "/p", {"a=1"}, kTestTimeoutMs, Trust());
    QVERIFY(!untrusted.ok);
    QVERIFY(!untrusted.error.isEmpty());
    // Nor is the tests' own certificate trusted unless the caller says so.
    server.tls = TestServer::Tls::Trusted;
    QVERIFY(!PostForm("https://" + server.host() + "/p", {"a=1"}, kTestTimeoutMs).ok);
    QVERIFY(server.requests.isEmpty());
}

void TestOnlineProtocol::httpsRefusedFallsBackToHttp() {
    TestServer server;
    QVERIFY(server.start());
    server.tls = TestServer::Tls::Refused;
    server.respond = [](const TestServer::Request& r) {
        return TestServer::Answer::Reply(200, "text/plain", "reached " + r.path);
    };
    ServerAccess access{server.host(), kTestTimeoutMs, Trust()};
    const QStringList fields{"cmd=feedback", "feedback=a b"};
    const ExchangeResult result = Exchange(access, kFeedbackPath, fields, kFeedbackTimeoutMs);
    QCOMPARE(result.reply, std::optional<QString>("reached /php/feedback.php"));
    QVERIFY(result.httpsFailure.has_value());
    QVERIFY(!result.httpFailure.has_value());
    QCOMPARE(server.requests.size(), 1);
    QVERIFY(!server.requests[0].tls);
    QCOMPARE(server.requests[0].body, EncodeFormBody(fields));
}

void TestOnlineProtocol::httpsErrorStatusIsTheReply() {
    if (const char* why = TestServer::tlsMissing())
        QSKIP(why);
    TestServer server;
    QVERIFY(server.start());
    server.respond = [](const TestServer::Request&) {
        return TestServer::Answer::Reply(500, "text/html", "<h1>Error</h1>");
    };
    const ExchangeResult result =
        Exchange({server.host(), kTestTimeoutMs, Trust()}, kCheckPath, {"cmd=check"}, 10000);
    QCOMPARE(result.reply, std::optional<QString>("<h1>Error</h1>"));
    QVERIFY(!result.httpsFailure && !result.httpFailure);
    QCOMPARE(server.requests.size(), 1); // no plain HTTP attempt
}

void TestOnlineProtocol::bothAttemptsFail() {
    TestServer server;
    QVERIFY(server.start());
    server.tls = TestServer::Tls::Refused;
    server.respond = [](const TestServer::Request&) {
        return TestServer::Answer::Reply(503, "text/plain", "busy");
    };
    const ExchangeResult result =
        Exchange({server.host(), kTestTimeoutMs, Trust()}, kCheckPath, {"cmd=check"}, 10000);
    QVERIFY(!result.reply);
    QVERIFY(result.httpsFailure && !result.httpsFailure->isEmpty());
    QVERIFY(result.httpFailure && !result.httpFailure->isEmpty());
    QCOMPARE(server.requests.size(), 1);
}

void TestOnlineProtocol::cancellationEndsAWaitingRequest() {
    TestServer server;
    QVERIFY(server.start());
    server.respond = [](const TestServer::Request&) { return TestServer::Answer::Hang(); };
    Cancellation cancellation;
    std::optional<ExchangeResult> result;
    std::atomic<bool> finished{false};
    const ServerAccess access{server.host(), std::nullopt, Trust()};
    // The real ten seconds: only the cancellation can end it sooner.
    std::thread worker([&] {
        result = Exchange(access, kCheckPath, {"cmd=check"}, kCheckTimeoutMs, &cancellation);
        finished = true;
    });
    const auto stop = qScopeGuard([&] {
        cancellation.Cancel(); // on a failed check too, so that the thread ends
        if (worker.joinable())
            worker.join();
    });
    QTRY_COMPARE_WITH_TIMEOUT(server.requests.size(), 1, 5000);
    cancellation.Cancel();
    QTRY_VERIFY_WITH_TIMEOUT(finished, 5000);
    worker.join();
    QVERIFY(result && !result->reply);
    QCOMPARE(server.requests.size(), 1); // no second attempt after the cancellation
    QVERIFY(cancellation.Cancelled());
}

void TestOnlineProtocol::brokenReplyIsNotSentAgain_data() {
    QTest::addColumn<Fault>("fault");
    QTest::newRow("cut off in the headers") << Fault::CutHeaders;
    QTest::newRow("no status line") << Fault::Garbage;
    QTest::newRow("closed without a reply") << Fault::Drop;
}

// A POST that went out may have been taken: however its reply breaks off, each
// attempt sends it once, and the exchange twice in all.
void TestOnlineProtocol::brokenReplyIsNotSentAgain() {
    QFETCH(Fault, fault);
    TestServer server;
    QVERIFY(server.start());
    server.respond = [fault](const TestServer::Request&) {
        return TestServer::Answer::Failing(fault);
    };
    const char* noTls = TestServer::tlsMissing();
    for (const QString scheme : {"https", "http"}) {
        if (noTls && scheme == "https")
            continue;
        server.requests.clear();
        const PostResult result = PostForm(scheme + "://" + server.host() + "/php/feedback.php",
                                           {"cmd=feedback"}, kTestTimeoutMs, Trust());
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(server.requests.size(), 1);
        QCOMPARE(server.requests[0].tls, scheme == "https");
    }
    if (noTls)
        QSKIP(noTls); // the exchange's first attempt is HTTPS

    server.requests.clear();
    const ExchangeResult exchange = Exchange({server.host(), kTestTimeoutMs, Trust()},
                                             kFeedbackPath, {"cmd=feedback"}, kFeedbackTimeoutMs);
    QVERIFY(!exchange.reply);
    QVERIFY(exchange.httpsFailure && exchange.httpFailure);
    QCOMPARE(server.requests.size(), 2);
    QVERIFY(server.requests[0].tls);
    QVERIFY(!server.requests[1].tls);
}

void TestOnlineProtocol::deadlineEndsAnEndlessReply_data() {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<bool>("capped"); // ended by the size cap before the deadline
    QTest::newRow("endless headers") << Fault::EndlessHeaders << false;
    QTest::newRow("headers as fast as they go") << Fault::FloodHeaders << true;
    QTest::newRow("one byte at a time") << Fault::Trickle << false;
}

// Data that keeps coming restarts the wait for the next piece, but not the
// attempt's deadline: connection time-out plus response time-out.
void TestOnlineProtocol::deadlineEndsAnEndlessReply() {
    QFETCH(Fault, fault);
    QFETCH(bool, capped);
    if (const char* why = TestServer::tlsMissing())
        QSKIP(why); // both attempts must be held
    TestServer server;
    QVERIFY(server.start());
    server.respond = [fault](const TestServer::Request&) {
        TestServer::Answer answer = TestServer::Answer::Failing(fault);
        answer.body = QByteArray(1000, 'x'); // trickled, almost a minute
        return answer;
    };
    const ServerAccess access{server.host(), 300, Trust()};
    Cancellation cancellation;
    std::optional<ExchangeResult> result;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        result = Exchange(access, kCheckPath, {"cmd=check"}, kCheckTimeoutMs, &cancellation);
        finished = true;
    });
    const auto stop = qScopeGuard([&] {
        cancellation.Cancel(); // on a failed check, so that the thread ends
        worker.join();
    });
    QTRY_VERIFY_WITH_TIMEOUT(finished, 10000);
    QVERIFY(!cancellation.Cancelled());
    QVERIFY(result && !result->reply);
    QVERIFY(result->httpsFailure && result->httpFailure);
    // Headers count towards the cap as they come, not once they are complete.
    const QString larger = QStringLiteral("larger than %1 bytes").arg(kMaxReplyBytes);
    QCOMPARE(result->httpsFailure->contains(larger), capped);
    QCOMPARE(result->httpFailure->contains(larger), capped);
    QCOMPARE(server.requests.size(), 2);
}

void TestOnlineProtocol::replyLines_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QStringList>("lines");
    const QStringList three{"a", "b", "c"};
    QTest::newRow("CR LF") << "a\r\nb\r\nc\r\n" << three;
    QTest::newRow("LF") << "a\nb\nc\n" << three;
    QTest::newRow("CR") << "a\rb\rc\r" << three;
    QTest::newRow("no final break") << "a\nb\r\nc" << three;
    QTest::newRow("empty line inside") << "a\r\n\r\nc" << QStringList{"a", "", "c"};
    QTest::newRow("two final breaks") << "a\n\n" << QStringList{"a", ""};
    QTest::newRow("LF CR is two breaks") << "a\n\rb" << QStringList{"a", "", "b"};
    QTest::newRow("NUL ends the text")
        << QString::fromUtf16(u"a\nb\0c\nd", 7) << QStringList{"a", "b"};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("one break") << "\r\n" << QStringList{""};
}

void TestOnlineProtocol::replyLines() {
    QFETCH(QString, reply);
    QFETCH(QStringList, lines);
    QCOMPARE(SplitReplyLines(reply), lines);
}

void TestOnlineProtocol::replyTag_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("value");
    QTest::newRow("version") << "<version>1.1</version>"
                             << "version"
                             << "1.1";
    QTest::newRow("tag asked in capitals") << "<version>1.1</version>"
                                           << "VERSION"
                                           << "1.1";
    QTest::newRow("line in capitals") << "<VERSION>1.1</VERSION>"
                                      << "version"
                                      << "";
    QTest::newRow("trailing space") << "<version>1.1</version> "
                                    << "version"
                                    << "";
    QTest::newRow("leading space") << " <version>1.1</version>"
                                   << "version"
                                   << "";
    QTest::newRow("no closing mark") << "<version>1.1"
                                     << "version"
                                     << "";
    QTest::newRow("other tag") << "<url>1.1</url>"
                               << "version"
                               << "";
    QTest::newRow("empty value") << "<result></result>"
                                 << "result"
                                 << "";
    QTest::newRow("marks overlap") << "<a></a>"
                                   << "a"
                                   << "";
    QTest::newRow("value with marks") << "<url>http://x/<b></url>"
                                      << "url"
                                      << "http://x/<b>";
    QTest::newRow("empty line") << ""
                                << "version"
                                << "";
    QTest::newRow("empty tag") << "<>1</>"
                               << ""
                               << "";
}

void TestOnlineProtocol::replyTag() {
    QFETCH(QString, line);
    QFETCH(QString, tag);
    QFETCH(QString, value);
    QCOMPARE(ReadReplyTag(line, tag), value);
}

void TestOnlineProtocol::osDescription_data() {
    QTest::addColumn<QString>("product");
    QTest::addColumn<unsigned>("servicePack");
    QTest::addColumn<bool>("x64");
    QTest::addColumn<QString>("text");
    QTest::newRow("64-bit")
        << "Debian GNU/Linux 12 (bookworm)" << 0u << true
        << "Debian GNU/Linux 12 (bookworm) (Version 6.1, Build 0, 64-bit Edition)";
    QTest::newRow("32-bit") << "Linux" << 0u << false
                            << "Linux (Version 6.1, Build 0, 32-bit Edition)";
    QTest::newRow("service pack")
        << "Windows 7" << 1u << true
        << "Windows 7 Service Pack 1 (Version 6.1, Build 0, 64-bit Edition)";
}

void TestOnlineProtocol::osDescription() {
    QFETCH(QString, product);
    QFETCH(unsigned, servicePack);
    QFETCH(bool, x64);
    QFETCH(QString, text);
    QCOMPARE(FormatOsDescription({product.toStdString(), 6, 1, 0, servicePack, x64}), text);
}

void TestOnlineProtocol::machineGuid() {
    using Status = platform::MachineId::Status;
    QCOMPARE(GetMachineGuid(FixedMachine({Status::Missing, {}})), QString());
    QVERIFY_THROWS_EXCEPTION(MachineGuidError,
                             GetMachineGuid(FixedMachine({Status::Unreadable, {}})));

    const std::string id = "0123456789abcdef0123456789abcdef";
    const QString guid = GetMachineGuid(FixedMachine({Status::Found, id}));
    static const QRegularExpression shape(
        "^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$");
    QVERIFY2(shape.match(guid).hasMatch(), qPrintable(guid));
    // Stable for the machine, different for another, and not the id itself.
    QCOMPARE(GetMachineGuid(FixedMachine({Status::Found, id})), guid);
    QVERIFY(GetMachineGuid(FixedMachine({Status::Found, "1" + id.substr(1)})) != guid);
    QVERIFY(!QString(guid).remove('-').contains(QString::fromStdString(id).left(8)));
}

void TestOnlineProtocol::validEmail_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "user@example.com" << true;
    QTest::newRow("dots and plus, several labels")
        << "first.last+tag@mail.sub.example.co.uk" << true;
    QTest::newRow("hyphens and digits") << "a_b-c@my-host9.x1" << true;
    QTest::newRow("no dot after @") << "user@localhost" << false;
    QTest::newRow("ends in a hyphen") << "user@example.com-" << false;
    QTest::newRow("ends in a dot") << "user@example.com." << false;
    QTest::newRow("space") << "us er@example.com" << false;
    QTest::newRow("letter outside A-Z") << QString::fromUtf8("jürgen@example.com") << false;
    QTest::newRow("two @") << "a@b@example.com" << false;
    QTest::newRow("empty local part") << "@example.com" << false;
    QTest::newRow("dot right after @") << "user@.example.com" << false;
    QTest::newRow("final line break") << "user@example.com\n" << false;
    QTest::newRow("letter case counts nowhere") << "USER@EXAMPLE.COM" << true;
}

void TestOnlineProtocol::validEmail() {
    QFETCH(QString, address);
    QFETCH(bool, valid);
    QCOMPARE(IsValidEmail(address), valid);
}

void TestOnlineProtocol::composedFeedback_data() {
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("likeCaption");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("feedback");
    const int none = int(FeedbackChoice::None);
    const int like = int(FeedbackChoice::Like);
    const int dislike = int(FeedbackChoice::Dislike);
    QTest::newRow("like, English") << like << "I like it!"
                                   << "Great"
                                   << "I like it!\rGreat";
    QTest::newRow("dislike, English") << dislike << "I like it!"
                                      << "Slow"
                                      << "I dislike it!\rSlow";
    QTest::newRow("like, translated") << like << QString::fromUtf8("Gefällt mir!") << "Gut"
                                      << QString::fromUtf8("I like it! (Gefällt mir!)\rGut");
    QTest::newRow("no choice, trimmed, inner breaks kept") << none << "I like it!"
                                                           << " \t\r\nline 1\r\nline 2\r\n\x01 "
                                                           << "line 1\r\nline 2";
    QTest::newRow("blank") << like << "I like it!"
                           << " \r\n \t "
                           << "";
}

void TestOnlineProtocol::composedFeedback() {
    QFETCH(int, choice);
    QFETCH(QString, likeCaption);
    QFETCH(QString, text);
    QFETCH(QString, feedback);
    QCOMPARE(ComposeFeedback(FeedbackChoice(choice), likeCaption, "I dislike it!", text), feedback);
}

void TestOnlineProtocol::delivered_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("OK") << "OK" << true;
    QTest::newRow("OK and a line break") << "OK\r\n" << true;
    QTest::newRow("surrounded by blanks") << "\r\n OK \n" << true;
    QTest::newRow("NUL ends it") << QString::fromUtf16(u"OK\0junk", 7) << true;
    QTest::newRow("lower case") << "ok" << false;
    QTest::newRow("full stop") << "OK." << false;
    QTest::newRow("further lines") << "OK\nmore" << false;
    QTest::newRow("error page") << "<html>OK</html>" << false;
    QTest::newRow("empty") << "" << false;
}

void TestOnlineProtocol::delivered() {
    QFETCH(QString, reply);
    QFETCH(bool, delivered);
    QCOMPARE(FeedbackDelivered(reply), delivered);
    QVERIFY(!FeedbackDelivered(std::nullopt));
}

QTEST_GUILESS_MAIN(TestOnlineProtocol)
#include "test_online_protocol.moc"
