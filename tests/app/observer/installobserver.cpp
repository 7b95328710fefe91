// A Qt plugin that looks at an installed window program from inside: loaded
// into the real executable through QT_PLUGIN_PATH and
// QT_QPA_GENERIC_PLUGINS=zentaroobserver, it waits for the main window, opens
// the About window through the menu's action as a user would, and prints what
// a desktop would see:
//
//   desktop-file: zentaro
//   icon: ok                (or why not)
//   main-title: KESTRIX - Zentaro
//   about-title: Über Zentaro
//
// and, when ZENTARO_OBSERVE_PEAK_MEMORY is set, the most memory the process
// has held so far (VmHWM), in KiB:
//
//   peak-memory-kib: 81234
//
// then ends the program with status 0. It uses Qt's objects only: the program's
// own libraries are linked into it statically and cannot be shared. Without a
// main window within 20 seconds it prints "timeout" and ends with status 3.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGenericPlugin>
#include <QIcon>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

constexpr int kDeadlineMs = 20'000;

void Print(const QString& name, const QString& value) {
    std::printf("%s: %s\n", qPrintable(name), value.toUtf8().constData());
    std::fflush(stdout);
}

QWidget* VisibleTopLevel(const char* className) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->inherits(className))
            return w;
    return nullptr;
}

// Sharp at every size a desktop asks for, so drawn from the SVG, and shared by
// the main window.
QString IconVerdict(const QWidget* window) {
    const QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        return QStringLiteral("none");
    for (const int size : {16, 48, 256}) {
        const QImage image = icon.pixmap(size).toImage();
        if (image.size() != QSize(size, size))
            return QStringLiteral("no %1 px picture").arg(size);
        if (qAlpha(image.pixel(size / 2, size / 2)) != 255)
            return QStringLiteral("blank at %1 px").arg(size);
    }
    if (window->windowIcon().cacheKey() != icon.cacheKey())
        return QStringLiteral("the main window has another");
    return QStringLiteral("ok");
}

QString PeakMemoryKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringLiteral("unknown");
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return QString::fromLatin1(line.mid(6).trimmed().split(' ').value(0));
    return QStringLiteral("unknown");
}

class Observer : public QObject {
public:
    Observer() {
        clock_.start();
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, &Observer::step);
        timer_.start();
    }

private:
    void step() {
        if (clock_.elapsed() > kDeadlineMs) {
            timer_.stop();
            std::printf("timeout\n");
            std::fflush(stdout);
            QCoreApplication::exit(3);
            return;
        }
        if (!main_) {
            main_ = VisibleTopLevel("zentaro::app::TAppForm");
            if (!main_)
                return;
            Print(QStringLiteral("desktop-file"), QGuiApplication::desktopFileName());
            Print(QStringLiteral("icon"), IconVerdict(main_));
            Print(QStringLiteral("main-title"), main_->windowTitle());
            auto* about = main_->findChild<QAction*>(QStringLiteral("About1"));
            if (!about) {
                Print(QStringLiteral("about-title"), QStringLiteral("(no About action)"));
                finish();
                return;
            }
            // Its window runs a loop of its own; this timer goes on inside it.
            QTimer::singleShot(0, about, &QAction::trigger);
            return;
        }
        if (QWidget* box = VisibleTopLevel("zentaro::about::TAboutBox")) {
            Print(QStringLiteral("about-title"), box->windowTitle());
            box->close();
            finish();
        }
    }

    void finish() {
        timer_.stop();
        if (qEnvironmentVariableIsSet("ZENTARO_OBSERVE_PEAK_MEMORY"))
            Print(QStringLiteral("peak-memory-kib"), PeakMemoryKib());
        // After the About window's loop has returned.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    }

    QTimer timer_;
    QElapsedTimer clock_;
    QWidget* main_ = nullptr;
};

} // namespace

class InstallObserverPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "observer.json")

public:
    QObject* create(const QString& key, const QString&) override {
        if (key.compare(QLatin1String("zentaroobserver"), Qt::CaseInsensitive) != 0)
            return nullptr;
        return new Observer;
    }
};

#include "installobserver.moc"
