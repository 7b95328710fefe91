// The window program's application object: an exception escaping a handler is
// shown in the default error box, and the program goes on with its events.
#include "app/application.h"
#include "support/modaldriver.h"

#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <stdexcept>
#include <thread>

using zentaro::app::ZentaroApplication;
using zentaro::testing::ModalDriver;

namespace {

// A widget whose key handler throws what it is told to.
class Thrower : public QWidget {
public:
    std::function<void()> onKey;
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override {
        ++keys;
        if (onKey)
            onKey();
    }
};

ZentaroApplication& App() {
    return *static_cast<ZentaroApplication*>(QCoreApplication::instance());
}

// An object whose user events throw, as a handler of a worker's own would.
class ThrowingObject : public QObject {
protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            throw std::runtime_error("no route to host");
        return QObject::event(event);
    }
};

} // namespace

class TestApplication : public QObject {
    Q_OBJECT

private slots:
    // A failed check leaves the recorder behind; the next test gets the box again.
    void cleanup() { App().showError = zentaro::app::ShowDefaultError; }
    void escapedExceptionIsShownAndTheProgramGoesOn_data();
    void escapedExceptionIsShownAndTheProgramGoesOn();
    void escapeOnAnotherThreadGoesBackToThatThread();
    void theDefaultErrorBox();
    void identityForTheDesktop();
};

void TestApplication::escapedExceptionIsShownAndTheProgramGoesOn_data() {
    QTest::addColumn<bool>("fromSlot"); // a clicked button's slot, else an event handler
    QTest::addColumn<bool>("standard"); // a std::exception, else anything else thrown
    QTest::addColumn<QString>("shown");
    QTest::newRow("slot, std::exception") << true << true << "the disk is full";
    QTest::newRow("event handler, std::exception") << false << true << "the disk is full";
    QTest::newRow("slot, something else") << true << false << "An unexpected error occurred.";
    QTest::newRow("event handler, something else")
        << false << false << "An unexpected error occurred.";
}

void TestApplication::escapedExceptionIsShownAndTheProgramGoesOn() {
    QFETCH(bool, fromSlot);
    QFETCH(bool, standard);
    QFETCH(QString, shown);
    QStringList errors;
    App().showError = [&](const QString& text) { errors << text; };
    auto fail = [standard] {
        if (standard)
            throw std::runtime_error("the disk is full");
        throw 42;
    };

    QWidget window;
    auto* button = new QPushButton("Go", &window);
    auto* thrower = new Thrower;
    thrower->setParent(&window);
    thrower->setGeometry(0, 40, 50, 50);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] {
        ++clicks;
        if (clicks == 1)
            fail();
    });
    thrower->onKey = [&] {
        if (thrower->keys == 1)
            fail();
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    if (fromSlot) {
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::mouseClick(button, Qt::LeftButton); // the next event still arrives
        QCOMPARE(clicks, 2);
        QVERIFY(!button->isDown());
    } else {
        QTest::keyClick(thrower, Qt::Key_A);
        QTest::keyClick(thrower, Qt::Key_B);
        QCOMPARE(thrower->keys, 2);
    }
    QCOMPARE(errors, QStringList{shown});
}

// Background work fails silently, and no window may be shown off the window
// thread: what escapes a handler on another thread (the update check's network
// loop) goes on to that thread's own code, and no box is shown.
void TestApplication::escapeOnAnotherThreadGoesBackToThatThread() {
    QStringList errors;
    App().showError = [&](const QString& text) { errors << text; };
    QString caught;
    std::thread worker([&] {
        ThrowingObject object; // lives on this thread
        QEvent event(QEvent::User);
        try {
            QCoreApplication::sendEvent(&object, &event);
        } catch (const std::exception& e) {
            caught = QString::fromUtf8(e.what());
        }
    });
    worker.join();
    QCOMPARE(caught, QStringLiteral("no route to host"));
    QCOMPARE(errors, QStringList());
}

// The box itself: critical, titled with the program's name, plain text with
// CR line breaks shown as lines.
void TestApplication::theDefaultErrorBox() {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    ModalDriver<QMessageBox> driver([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        format = box->textFormat();
        box->accept();
    });
    zentaro::app::ShowDefaultError("System Error.  Code: 5.\r<b>Access is denied</b>");
    QVERIFY2(driver.ok(), driver.failure());
    QCOMPARE(title, QStringLiteral("Zentaro"));
    QCOMPARE(text, QStringLiteral("System Error.  Code: 5.\n<b>Access is denied</b>"));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(format, Qt::PlainText);
}

// The desktop matches the windows to the installed entry by the desktop file
// name, and every window shows the program's icon, sharp at any size: drawn
// from the SVG, not scaled up from a small picture.
void TestApplication::identityForTheDesktop() {
    QCOMPARE(QGuiApplication::applicationName(), QStringLiteral("Zentaro"));
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("zentaro"));
    const QIcon icon = QApplication::windowIcon();
    QVERIFY(!icon.isNull());
    for (const int size : {16, 48, 256}) {
        const QImage image = icon.pixmap(size).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        // The tile fills the middle; the corners are rounded off.
        QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    }
    QWidget window;
    QCOMPARE(window.windowIcon().cacheKey(), icon.cacheKey());
}

int main(int argc, char** argv) {
    ZentaroApplication app(argc, argv);
    QApplication::setAttribute(Qt::AA_Use96Dpi, true); // as QTEST_MAIN does
    TestApplication test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_application.moc"
