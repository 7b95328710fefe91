// The new-version notice and the feedback window, offscreen at 96 DPI, the
// feedback sent to a real local server.
#include "appfonts.h"
#include "i18n/catalogue.h"
#include "online/choicepanel.h"
#include "online/feedback.h"
#include "online/newversion.h"
#include "processresources.h"
#include "support/find.h"
#include "support/modaldriver.h"
#include "support/recordingopener.h"
#include "support/userlanguage.h"
#include "testserver.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace zentaro;
using namespace zentaro::online;
using zentaro::testing::Find;
using zentaro::testing::ModalDriver;
using zentaro::testing::TestServer;

namespace {

using zentaro::testing::RecordingOpener;

QRect In(QWidget* window, QWidget* control) {
    return QRect(control->mapTo(window, QPoint(0, 0)), control->size());
}

// A press, a move by offset and a release, as the system delivers them: to the
// widget under the pointer, passed on to its parents while nobody takes them.
void Drag(QWidget* widget, Qt::MouseButton button, QPoint at, QPoint offset) {
    const QPoint global = widget->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, button, button, {});
    QApplication::sendEvent(widget, &press);
    QMouseEvent move(QEvent::MouseMove, at + offset, global + offset, Qt::NoButton, button, {});
    QApplication::sendEvent(widget, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, at + offset, global + offset, button,
                        Qt::NoButton, {});
    QApplication::sendEvent(widget, &release);
}

struct Notice {
    QWidget main; // stands for the main window
    std::shared_ptr<RecordingOpener> opener = std::make_shared<RecordingOpener>();
    QPointer<TNewVer> window;

    explicit Notice(const QString& url = "https://dl.example/Zentaro-1.1.zip") {
        main.resize(200, 100);
        main.show();
        main.activateWindow();
        window = new TNewVer(&main, {"Zentaro", "1.1", url, "www.kestrix.example"}, opener);
    }
    // Shown, and done growing out of its centre.
    bool waitShown() {
        QDeadlineTimer deadline(5000);
        while (!(window->isVisible() && window->mask().isEmpty()) && !deadline.hasExpired())
            QTest::qWait(5);
        return window->isVisible() && window->mask().isEmpty();
    }
};

struct Feedback {
    TestServer server;
    QPointer<TFeedbackForm> form;

    explicit Feedback(std::optional<int> timeoutMs = 5000) {
        server.start();
        ServerAccess access{server.host(), timeoutMs,
                            QSslCertificate::fromData(TestServer::trustedCertificatePem())};
        form = new TFeedbackForm({"Zentaro", "KESTRIX - Zentaro", "1.0", access});
    }
    ~Feedback() { delete form; }

    ChoicePanel* like() { return Find<ChoicePanel>(form, "Panel4"); }
    ChoicePanel* dislike() { return Find<ChoicePanel>(form, "Panel5"); }
    QPlainTextEdit* memo() { return Find<QPlainTextEdit>(form, "Memo1"); }
    QLineEdit* email() { return Find<QLineEdit>(form, "Edit1"); }
    QPushButton* send() { return Find<QPushButton>(form, "BitBtn1"); }

    // What the message box after Send said; ok when one came and was closed in time.
    struct Answered {
        bool ok = false;
        QString failure;
        QString title;
        QString text;
    };
    Answered SendAndAcknowledge() {
        Answered answered;
        ModalDriver<QMessageBox> box([&](QMessageBox* b) {
            answered.title = b->windowTitle();
            answered.text = b->text();
            b->accept();
        });
        QTest::mouseClick(send(), Qt::LeftButton);
        answered.ok = box.ok();
        answered.failure = QString::fromUtf8(box.failure());
        return answered;
    }
};

// Writes a language file that translates the given texts, and loads it.
void LoadTranslation(QTemporaryDir& dir, const QList<QPair<QString, QString>>& texts) {
    QFile file(dir.filePath("Test.lang.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (const auto& [english, translation] : texts)
        file.write(("{" + english + "}" + translation + "\r\n").toUtf8());
    file.close();
    i18n::LoadLanguage("Test.lang.txt", dir.path(), zentaro::testing::FixedUserLanguage(1033));
}

} // namespace

class TestOnlineWindows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void noticeLayout();
    void noticeClosesItselfWithTheAnimation();
    void noticeLink_data();
    void noticeLink();
    void noticeCloseButton();
    void noticeDragging_data();
    void noticeDragging();
    void noticeLinkHover();
    void translatedTexts();
    void feedbackLayout();
    void feedbackChoices_data();
    void feedbackChoices();
    void feedbackSent_data();
    void feedbackSent();
    void feedbackBlankTextIsNotSent();
    void feedbackInvalidEmail();
    void feedbackHttpsFailsHttpDelivers();
    void feedbackStaysWhileSending();
    void feedbackBrokenReplyPostedOncePerAttempt_data();
    void feedbackBrokenReplyPostedOncePerAttempt();
    void feedbackTricklingServerEndsInTime();
    void feedbackEndlessHeadersLeaveNothing_data();
    void feedbackEndlessHeadersLeaveNothing();
    void feedbackEsc_data();
    void feedbackEsc();
};

void TestOnlineWindows::initTestCase() {
    QVERIFY(assets::RegisterTahoma());
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestOnlineWindows::cleanup() {
    // Back to English.
    i18n::LoadLanguage(QString(), QString(), zentaro::testing::FixedUserLanguage(1033));
}

// --- The notice

void TestOnlineWindows::noticeLayout() {
    Notice n;
    QVERIFY(!n.window->isVisible()); // created hidden; the start timer shows it
    QVERIFY(n.waitShown());
    TNewVer* w = n.window;
    QCOMPARE(w->logicalDpiX(), 96);
    QCOMPARE(w->size(), QSize(320, 68));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(w->pos(), QPoint(screen.right() + 1 - 320 - 5, screen.top() + 5));
    const Qt::WindowFlags flags = w->windowFlags();
    QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(w->windowType(), Qt::Tool); // no taskbar entry
    QCOMPARE(In(w, Find<QLabel>(w, "Image1")), QRect(4, 4, 60, 60));
    QCOMPARE(In(w, Find<QWidget>(w, "Panel3")), QRect(320 - 1 - 22, 1, 22, 66));
    QCOMPARE(In(w, Find<QWidget>(w, "Button1")), QRect(320 - 1 - 22, 1, 22, 22));
    QCOMPARE(Find<QLabel>(w, "Label1")->height(), 16);
    QCOMPARE(Find<QLabel>(w, "Label1")->text(), QStringLiteral("UPDATE AVAILABLE"));
    QCOMPARE(Find<QLabel>(w, "Label2")->text(), QStringLiteral("Click to download Zentaro 1.1"));
    QVERIFY(Find<QLabel>(w, "Label2")->font().underline());
    QVERIFY(!Find<QLabel>(w, "Image1")->pixmap().isNull());
    QVERIFY(!Find<QPushButton>(w, "Button1")->icon().isNull());
    // Typing goes on reaching the main window.
    QCOMPARE(QApplication::activeWindow(), &n.main);
    QCOMPARE(w->CloseCountdown(), 11);
}

void TestOnlineWindows::noticeClosesItselfWithTheAnimation() {
    Notice n;
    QVERIFY(n.waitShown());
    auto* timerClose = Find<QTimer>(n.window, "TimerClose");
    QVERIFY(timerClose->isActive());
    QCOMPARE(timerClose->interval(), 1000);
    for (int tick = 1; tick <= 10; ++tick)
        n.window->TimerCloseTimer();
    QCOMPARE(n.window->CloseCountdown(), 1);
    QVERIFY(n.window->isVisible());
    n.window->TimerCloseTimer();
    QVERIFY(!timerClose->isActive());
    // Shrinking into its centre first, then hidden, never destroyed.
    QVERIFY(n.window->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!n.window->isVisible(), 5000);
    QVERIFY(n.window);
    QVERIFY(n.opener->urls.empty());
}

void TestOnlineWindows::noticeLink_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("opened");
    QTest::newRow("download address") << "https://dl.example/Zentaro-1.1.zip"
                                      << "https://dl.example/Zentaro-1.1.zip";
    QTest::newRow("empty: home page") << ""
                                      << "http://www.kestrix.example";
    QTest::newRow("file address: home page") << "file:///etc/passwd"
                                             << "http://www.kestrix.example";
}

void TestOnlineWindows::noticeLink() {
    QFETCH(QString, url);
    QFETCH(QString, opened);
    Notice n(url);
    QVERIFY(n.waitShown());
    auto* link = Find<QLabel>(n.window, "Label2");
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    QCOMPARE(n.opener->urls, std::vector<std::string>{opened.toStdString()});
    QVERIFY(!n.window->isVisible()); // at once, without the animation
}

void TestOnlineWindows::noticeCloseButton() {
    Notice n;
    QVERIFY(n.waitShown());
    QTest::mouseClick(Find<QPushButton>(n.window, "Button1"), Qt::LeftButton);
    QVERIFY(!n.window->isVisible());
    QVERIFY(n.opener->urls.empty());
    QVERIFY(!Find<QTimer>(n.window, "TimerLink")->isActive());
}

void TestOnlineWindows::noticeDragging_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("moves");
    QTest::newRow("frame") << "NewVer" << QPoint(0, 30) << Qt::LeftButton << true;
    QTest::newRow("icon, left") << "Image1" << QPoint(30, 30) << Qt::LeftButton << true;
    QTest::newRow("icon, middle") << "Image1" << QPoint(30, 30) << Qt::MiddleButton << true;
    QTest::newRow("icon, right") << "Image1" << QPoint(30, 30) << Qt::RightButton << false;
    QTest::newRow("heading") << "Label1" << QPoint(20, 8) << Qt::LeftButton << true;
    QTest::newRow("close strip") << "Panel3" << QPoint(11, 50) << Qt::LeftButton << true;
    QTest::newRow("link") << "Label2" << QPoint(20, 10) << Qt::LeftButton << false;
    QTest::newRow("beside the link") << "Panel2" << QPoint(1, 60) << Qt::LeftButton << false;
    QTest::newRow("close button") << "Button1" << QPoint(11, 11) << Qt::LeftButton << false;
}

void TestOnlineWindows::noticeDragging() {
    QFETCH(QString, name);
    QFETCH(QPoint, at);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, moves);
    Notice n;
    n.window->setObjectName("NewVer");
    QVERIFY(n.waitShown());
    QWidget* source =
        name == "NewVer" ? n.window.data() : Find<QWidget>(n.window, qPrintable(name));
    const QPoint before = n.window->pos();
    Drag(source, button, at, QPoint(-40, 25));
    QCOMPARE(n.window->pos(), moves ? before + QPoint(-40, 25) : before);
    QCOMPARE(n.window->size(), QSize(320, 68));
    QVERIFY(!n.window->dragging());
}

void TestOnlineWindows::noticeLinkHover() {
    Notice n;
    QVERIFY(n.waitShown());
    auto* link = Find<QLabel>(n.window, "Label2");
    QCOMPARE(Find<QTimer>(n.window, "TimerLink")->interval(), 100);
    const QPalette style = QApplication::palette();
    QCursor::setPos(link->mapToGlobal(link->rect().center()));
    n.window->TimerLinkTimer();
    QCOMPARE(link->palette().color(QPalette::WindowText), style.color(QPalette::Highlight));
    QCursor::setPos(link->mapToGlobal(QPoint(-5, -5)));
    n.window->TimerLinkTimer();
    QCOMPARE(link->palette().color(QPalette::WindowText), style.color(QPalette::WindowText));
}

void TestOnlineWindows::translatedTexts() {
    QTemporaryDir dir;
    LoadTranslation(dir, {{"UPDATE AVAILABLE", QString::fromUtf8("AKTUALISIERUNG")},
                          {"Click to download", QString::fromUtf8("Herunterladen:")},
                          {"feedback", "Rückmeldung"},
                          {"I like it!", QString::fromUtf8("Gefällt mir!")},
                          {"I dislike it!", QString::fromUtf8("Gefällt mir nicht!")},
                          {"Send", "Senden"}});
    {
        Notice n;
        QCOMPARE(Find<QLabel>(n.window, "Label1")->text(), QString::fromUtf8("AKTUALISIERUNG"));
        QCOMPARE(Find<QLabel>(n.window, "Label2")->text(),
                 QString::fromUtf8("Herunterladen: Zentaro 1.1"));
    }
    Feedback f;
    QCOMPARE(f.form->windowTitle(), QString::fromUtf8("Zentaro Rückmeldung"));
    QCOMPARE(f.send()->text(), QStringLiteral("Senden"));
    f.form->show();
    QTest::mouseClick(f.dislike(), Qt::LeftButton);
    f.memo()->setPlainText("Zu langsam");
    ModalDriver<QMessageBox> box([](QMessageBox* b) { b->accept(); });
    QTest::mouseClick(f.send(), Qt::LeftButton);
    QVERIFY2(box.ok(), box.failure());
    QCOMPARE(f.server.requests.size(), 1);
    QCOMPARE(f.server.requests[0].field("feedback"),
             QString::fromUtf8("I dislike it! (Gefällt mir nicht!)\rZu langsam"));
}

// --- The feedback window

void TestOnlineWindows::feedbackLayout() {
    Feedback f;
    TFeedbackForm* w = f.form;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->size(), QSize(525, 326));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QCOMPARE(w->windowTitle(), QStringLiteral("Zentaro feedback"));
    QVERIFY(!w->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!w->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    // Centred on the screen, give or take the frame the system adds.
    QVERIFY((w->geometry().center() - QGuiApplication::primaryScreen()->geometry().center())
                .manhattanLength() <= 8);
    QCOMPARE(In(w, f.dislike()).width(), 256);
    QCOMPARE(In(w, f.dislike()).right(), 524);
    QCOMPARE(In(w, f.like()).left(), 0);
    QCOMPARE(In(w, f.like()).width() + 256, 525);
    QCOMPARE(In(w, Find<QLabel>(w, "Image1")).size(), QSize(32, 32));
    QCOMPARE(f.send()->size(), QSize(172, 33));
    QVERIFY(In(w, f.send()).right() > 500);
    QVERIFY(!f.send()->icon().isNull());
    QCOMPARE(f.like()->text(), QStringLiteral("I like it!"));
    QCOMPARE(f.dislike()->text(), QStringLiteral("I dislike it!"));
    QCOMPARE(f.like()->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(Find<QLabel>(w, "Label1")->text(),
             QStringLiteral("We would really appreciate your feedback."));
    QCOMPARE(Find<QLabel>(w, "Label1")->font().pointSize(), 12);
    QCOMPARE(Find<QLabel>(w, "Label2")->text(), QStringLiteral("What did you like or dislike?"));
    QVERIFY(Find<QLabel>(w, "Label2")->font().bold());
    QCOMPARE(Find<QLabel>(w, "Label3")->text(), QStringLiteral("Include my e-mail:"));
    QVERIFY(!TFeedbackForm::IsSelected(f.like()) && !TFeedbackForm::IsSelected(f.dislike()));

    // The limits: 100 characters of address, 10,000 of text, also when pasted.
    QCOMPARE(f.email()->maxLength(), 100);
    f.memo()->setFocus();
    f.memo()->insertPlainText(QString(9990, u'a'));
    f.memo()->insertPlainText(QString(20, u'b'));
    QCOMPARE(f.memo()->toPlainText().size(), 10000);
    QVERIFY(f.memo()->toPlainText().endsWith(QString(10, u'b')));
    QTest::keyClick(f.memo(), Qt::Key_C);
    QCOMPARE(f.memo()->toPlainText().size(), 10000);
}

void TestOnlineWindows::feedbackChoices_data() {
    QTest::addColumn<QStringList>("clicks"); // panel or picture, then the button: "Panel4:L"
    QTest::addColumn<bool>("like");
    QTest::addColumn<bool>("dislike");
    QTest::newRow("like") << QStringList{"Panel4:L"} << true << false;
    QTest::newRow("like twice: none") << QStringList{"Panel4:L", "Panel4:L"} << false << false;
    QTest::newRow("like, then dislike") << QStringList{"Panel4:L", "Panel5:L"} << false << true;
    QTest::newRow("dislike, then like") << QStringList{"Image2:L", "Image1:L"} << true << false;
    QTest::newRow("on the picture") << QStringList{"Image1:L"} << true << false;
    QTest::newRow("right button") << QStringList{"Panel4:R"} << false << false;
    QTest::newRow("middle button") << QStringList{"Panel5:M"} << false << false;
    QTest::newRow("right button keeps the choice")
        << QStringList{"Panel4:L", "Image1:R"} << true << false;
}

void TestOnlineWindows::feedbackChoices() {
    QFETCH(QStringList, clicks);
    QFETCH(bool, like);
    QFETCH(bool, dislike);
    Feedback f;
    f.form->show();
    for (const QString& click : clicks) {
        const QStringList parts = click.split(':');
        const Qt::MouseButton button = parts[1] == "L"   ? Qt::LeftButton
                                       : parts[1] == "R" ? Qt::RightButton
                                                         : Qt::MiddleButton;
        QWidget* target = Find<QWidget>(f.form, qPrintable(parts[0]));
        QTest::mousePress(target, button, {}, QPoint(10, 10));
        QTest::mouseRelease(target, button, {}, QPoint(10, 10));
    }
    QCOMPARE(TFeedbackForm::IsSelected(f.like()), like);
    QCOMPARE(TFeedbackForm::IsSelected(f.dislike()), dislike);
    // The look: highlight and a lowered edge when selected.
    const QPalette style = QApplication::palette();
    for (auto [panel, selected] : {std::pair{f.like(), like}, std::pair{f.dislike(), dislike}}) {
        QCOMPARE(panel->palette().color(QPalette::Window),
                 style.color(selected ? QPalette::Highlight : QPalette::Button));
        QCOMPARE(panel->palette().color(QPalette::WindowText),
                 style.color(selected ? QPalette::HighlightedText : QPalette::WindowText));
        QCOMPARE(panel->frameShadow(), selected ? QFrame::Sunken : QFrame::Raised);
    }
}

void TestOnlineWindows::feedbackSent_data() {
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("sentFeedback");
    QTest::addColumn<QString>("sentEmail"); // "-": no field
    QTest::addColumn<bool>("delivered");
    QTest::newRow("like, Great") << "Panel4"
                                 << "Great"
                                 << "" << QByteArray("OK") << "I like it!\rGreat"
                                 << "-" << true;
    QTest::newRow("dislike, lines, address")
        << "Panel5"
        << "\n  line 1\nline 2 \n\n"
        << "  a.b+c@mail.example.org " << QByteArray("OK\r\n") << "I dislike it!\rline 1\r\nline 2"
        << "a.b+c@mail.example.org" << true;
    QTest::newRow("no choice") << ""
                               << "Hello & bye = 100%"
                               << "" << QByteArray("OK\n") << "Hello & bye = 100%"
                               << "-" << true;
    QTest::newRow("ok") << ""
                        << "x"
                        << "" << QByteArray("ok") << "x"
                        << "-" << false;
    QTest::newRow("OK.") << ""
                         << "x"
                         << "" << QByteArray("OK.") << "x"
                         << "-" << false;
    QTest::newRow("OK and more") << ""
                                 << "x"
                                 << "" << QByteArray("OK\r\nDONE") << "x"
                                 << "-" << false;
}

void TestOnlineWindows::feedbackSent() {
    QFETCH(QString, choice);
    QFETCH(QString, text);
    QFETCH(QString, email);
    QFETCH(QByteArray, reply);
    QFETCH(QString, sentFeedback);
    QFETCH(QString, sentEmail);
    QFETCH(bool, delivered);
    Feedback f;
    f.server.respond = [reply](const TestServer::Request&) {
        return TestServer::Answer::Reply(200, "text/plain", reply);
    };
    f.form->show();
    if (!choice.isEmpty())
        QTest::mouseClick(Find<QWidget>(f.form, qPrintable(choice)), Qt::LeftButton);
    f.memo()->setPlainText(text);
    f.email()->setText(email);

    QString title;
    QString message;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    ModalDriver<QMessageBox> box([&](QMessageBox* b) {
        title = b->windowTitle();
        message = b->text();
        icon = b->icon();
        b->accept();
    });
    QTest::mouseClick(f.send(), Qt::LeftButton);
    QVERIFY2(box.ok(), box.failure());
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    QCOMPARE(f.server.requests.size(), 1);
    const TestServer::Request& request = f.server.requests[0];
    // Over HTTPS; where the server cannot serve it, the fields come over the fallback.
    QCOMPARE(request.tls, !TestServer::tlsMissing());
    QCOMPARE(request.path, QByteArray("/php/feedback.php"));
    QStringList names;
    for (const auto& field : request.fields)
        names << field.first;
    QStringList expected{"cmd", "appname", "version", "feedback"};
    if (sentEmail != "-")
        expected << "email";
    QCOMPARE(names, expected);
    QCOMPARE(request.field("cmd"), QStringLiteral("feedback"));
    QCOMPARE(request.field("appname"), QStringLiteral("KESTRIX - Zentaro"));
    QCOMPARE(request.field("version"), QStringLiteral("1.0"));
    QCOMPARE(request.field("feedback"), sentFeedback);
    if (sentEmail != "-")
        QCOMPARE(request.field("email"), sentEmail);

    if (delivered) {
        QCOMPARE(title, QStringLiteral("Success"));
        QCOMPARE(message, QStringLiteral("Your feedback is received.\n\nThank you!"));
        QCOMPARE(icon, QMessageBox::Information);
        QTRY_VERIFY_WITH_TIMEOUT(f.form.isNull(), 5000); // closed, and so destroyed
    } else {
        QCOMPARE(title, QStringLiteral("Failure"));
        QCOMPARE(message, QStringLiteral("Something went wrong. Your feedback could not be "
                                         "delivered.\n\nPlease try again later."));
        QCOMPARE(icon, QMessageBox::Critical);
        // Everything the user entered is still there.
        QVERIFY(f.form && f.form->isVisible());
        QCOMPARE(f.memo()->toPlainText(), text);
        QCOMPARE(f.email()->text(), email);
    }
}

void TestOnlineWindows::feedbackBlankTextIsNotSent() {
    Feedback f;
    f.form->show();
    QVERIFY(QTest::qWaitForWindowActive(f.form));
    QTest::mouseClick(f.like(), Qt::LeftButton);
    f.memo()->setPlainText("  \n\t \n ");
    f.email()->setFocus();
    QTest::mouseClick(f.send(), Qt::LeftButton);
    QCOMPARE(QApplication::activeModalWidget(), nullptr); // no message
    QVERIFY(f.memo()->hasFocus());
    QTest::qWait(50);
    QVERIFY(f.server.requests.isEmpty());
    QVERIFY(f.form->isVisible());
}

void TestOnlineWindows::feedbackInvalidEmail() {
    Feedback f;
    f.form->show();
    QVERIFY(QTest::qWaitForWindowActive(f.form));
    f.memo()->setPlainText("Nice");
    f.email()->setText("user@localhost");
    f.memo()->setFocus();
    const Feedback::Answered answered = f.SendAndAcknowledge();
    QVERIFY2(answered.ok, qPrintable(answered.failure));
    QCOMPARE(answered.title, QStringLiteral("Failure"));
    QCOMPARE(answered.text, QStringLiteral("Invalid e-mail address!"));
    QCOMPARE(f.form->focusWidget(), f.email());
    QVERIFY(f.server.requests.isEmpty());
    QVERIFY(f.form->isVisible());
}

void TestOnlineWindows::feedbackHttpsFailsHttpDelivers() {
    // The real three seconds: the HTTPS attempt waits them out, then plain HTTP
    // delivers the same fields.
    if (const char* why = TestServer::tlsMissing())
        QSKIP(why);
    Feedback f(std::nullopt);
    f.server.respond = [](const TestServer::Request& r) {
        TestServer::Answer answer = TestServer::Answer::Reply(200, "text/plain", "OK");
        answer.hang = r.tls;
        return answer;
    };
    f.form->show();
    f.memo()->setPlainText("Fast!");
    const Feedback::Answered answered = f.SendAndAcknowledge();
    QVERIFY2(answered.ok, qPrintable(answered.failure));
    QCOMPARE(answered.title, QStringLiteral("Success"));
    QCOMPARE(f.server.requests.size(), 2);
    QVERIFY(f.server.requests[0].tls);
    QVERIFY(!f.server.requests[1].tls);
    QCOMPARE(f.server.requests[1].path, QByteArray("/php/feedback.php"));
    QCOMPARE(f.server.requests[1].body, f.server.requests[0].body);
}

void TestOnlineWindows::feedbackStaysWhileSending() {
    Feedback f(400);
    f.server.tls = TestServer::Tls::Refused;
    f.server.respond = [](const TestServer::Request&) { return TestServer::Answer::Hang(); };
    f.form->show();
    f.memo()->setPlainText("Hello");
    bool sendingSeen = false;
    bool busyCursor = false;
    // While the request is out, the window is asked to close.
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (f.server.requests.isEmpty() || sendingSeen)
            return;
        sendingSeen = f.form->sending();
        busyCursor = QApplication::overrideCursor() &&
                     QApplication::overrideCursor()->shape() == Qt::BusyCursor;
        f.form->close();
    });
    probe.start();
    ModalDriver<QMessageBox> box([](QMessageBox* b) { b->accept(); });
    QTest::mouseClick(f.send(), Qt::LeftButton);
    QVERIFY2(box.ok(), box.failure());
    QVERIFY(sendingSeen);
    QVERIFY(busyCursor);
    QVERIFY(f.form && f.form->isVisible());
    QVERIFY(!f.form->sending());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestOnlineWindows::feedbackBrokenReplyPostedOncePerAttempt_data() {
    QTest::addColumn<int>("fault");
    QTest::newRow("cut off in the headers") << int(TestServer::Answer::Fault::CutHeaders);
    QTest::newRow("no status line") << int(TestServer::Answer::Fault::Garbage);
    QTest::newRow("closed without a reply") << int(TestServer::Answer::Fault::Drop);
}

// One click, one post over HTTPS and one over HTTP, however the replies break off;
// then the failure, which invites the user to try again.
void TestOnlineWindows::feedbackBrokenReplyPostedOncePerAttempt() {
    QFETCH(int, fault);
    if (const char* why = TestServer::tlsMissing())
        QSKIP(why);
    Feedback f;
    f.server.respond = [fault](const TestServer::Request&) {
        return TestServer::Answer::Failing(TestServer::Answer::Fault(fault));
    };
    f.form->show();
    f.memo()->setPlainText("Once, please");
    const Feedback::Answered answered = f.SendAndAcknowledge();
    QVERIFY2(answered.ok, qPrintable(answered.failure));
    QCOMPARE(answered.title, QStringLiteral("Failure"));
    QCOMPARE(f.server.requests.size(), 2);
    QVERIFY(f.server.requests[0].tls);
    QVERIFY(!f.server.requests[1].tls);
    QVERIFY(f.form && f.form->isVisible());
}

// A server that answers one byte at a time holds each attempt no longer than its
// deadline; the window then reports the failure and takes input again.
void TestOnlineWindows::feedbackTricklingServerEndsInTime() {
    if (const char* why = TestServer::tlsMissing())
        QSKIP(why); // both attempts must be held
    Feedback f(300);
    f.server.respond = [](const TestServer::Request&) {
        TestServer::Answer answer;
        answer.body = QByteArray(300, ' ') + "OK";
        answer.fault = TestServer::Answer::Fault::Trickle; // some 15 seconds each
        return answer;
    };
    f.form->show();
    f.memo()->setPlainText("Slowly");
    const Feedback::Answered answered = f.SendAndAcknowledge();
    QVERIFY2(answered.ok, qPrintable(answered.failure));
    QCOMPARE(answered.title, QStringLiteral("Failure"));
    QCOMPARE(f.server.requests.size(), 2);
    QVERIFY(!f.form->sending());
}

void TestOnlineWindows::feedbackEndlessHeadersLeaveNothing_data() {
    QTest::addColumn<int>("fault");
    QTest::newRow("as fast as they go") << int(TestServer::Answer::Fault::FloodHeaders);
    QTest::newRow("one by one") << int(TestServer::Answer::Fault::EndlessHeaders);
}

// A server whose reply headers never end holds each Send no longer than its
// attempts' deadlines, and what the attempts took goes with them: no thread,
// socket or memory stays behind.
void TestOnlineWindows::feedbackEndlessHeadersLeaveNothing() {
    QFETCH(int, fault);
    if (const char* why = TestServer::tlsMissing())
        QSKIP(why); // both attempts must be held
    Feedback f(500);
    f.form->show();
    f.memo()->setPlainText("Endless");
    // What the first Send sets up for good (the TLS library, the system's
    // certificates, the message box's helpers) is there before the count.
    f.server.respond = [](const TestServer::Request&) {
        return TestServer::Answer::Failing(TestServer::Answer::Fault::Drop);
    };
    QVERIFY(f.SendAndAcknowledge().ok);
    const std::optional<testing::ProcessResources> before = testing::ProcessResources::Now();
    if (!before)
        QSKIP("no /proc/self to count threads, sockets and memory in");
    f.server.requests.clear();
    f.server.respond = [fault](const TestServer::Request&) {
        return TestServer::Answer::Failing(TestServer::Answer::Fault(fault));
    };
    for (int send = 1; send <= 2; ++send) {
        const Feedback::Answered answered = f.SendAndAcknowledge();
        QVERIFY2(answered.ok, qPrintable(answered.failure));
        QCOMPARE(answered.title, QStringLiteral("Failure"));
        QCOMPARE(f.server.requests.size(), 2 * send);
    }
    // The stream would take hundreds of megabytes; a few may stay with the allocator.
    const QString held = testing::HeldSince(*before, 30000, 8 * 1024);
    QVERIFY2(held.isEmpty(), qPrintable(held));
}

void TestOnlineWindows::feedbackEsc_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("text") << "Memo1";
    QTest::newRow("e-mail") << "Edit1";
    QTest::newRow("Send") << "BitBtn1";
}

void TestOnlineWindows::feedbackEsc() {
    QFETCH(QString, name);
    Feedback f;
    ModalDriver<TFeedbackForm> driver([&](TFeedbackForm* form) {
        QWidget* control = Find<QWidget>(form, qPrintable(name));
        control->setFocus();
        QTest::keyClick(control, Qt::Key_Escape);
    });
    f.form->exec();
    QVERIFY2(driver.ok(), driver.failure());
    QVERIFY(f.form.isNull()); // destroyed on closing
    QVERIFY(f.server.requests.isEmpty());
}

QTEST_MAIN(TestOnlineWindows)
#include "test_online_windows.moc"
