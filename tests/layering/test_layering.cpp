// Guards the layers from the build's own description of itself: which library
// links what and owns which files (written by CMake at generate time). The
// rules:
//   - the engine links and includes no Qt, and includes nothing outside itself
//     but the platform layer;
//   - only window libraries (*_ui) and the application link or include Qt Widgets;
//   - the command line links no Qt at all;
//   - a file includes headers of its own layer or a lower one only:
//     platform < engine < logic < windows < front ends (app, command line);
//   - every header under src/ belongs to a library;
//   - no operating-system headers or tests for an operating system outside the
//     platform layer.
#include <QtTest>

namespace {

enum class Layer { Platform, Engine, Logic, Window, FrontEnd };

int Rank(Layer layer) {
    return static_cast<int>(layer);
}

const char* LayerName(Layer layer) {
    switch (layer) {
    case Layer::Platform:
        return "platform";
    case Layer::Engine:
        return "engine";
    case Layer::Logic:
        return "logic";
    case Layer::Window:
        return "window";
    case Layer::FrontEnd:
        return "front end";
    }
    return "?";
}

Layer LayerOf(const QString& target) {
    if (target == u"zentaro_platform" || target.startsWith(u"zentaro_platform_"))
        return Layer::Platform;
    if (target == u"zentaro_engine")
        return Layer::Engine;
    if (target.endsWith(u"_ui"))
        return Layer::Window;
    if (target == u"zentaro" || target == u"zentaro-cli" || target == u"zentaro_cli_lib")
        return Layer::FrontEnd;
    return Layer::Logic;
}

bool IsCommandLine(const QString& target) {
    return target == u"zentaro-cli" || target == u"zentaro_cli_lib";
}

bool IsWidgets(const QString& library) {
    return library.startsWith(u"Qt6::") && library.endsWith(u"Widgets");
}

struct Target {
    QString name;
    QString type;
    QString folder;
    QStringList links;
    QStringList files; // absolute paths
};

struct Manifest {
    QString sourceRoot;
    QString widgetsHeaders; // the folder of the Qt Widgets headers
    QList<Target> targets;
};

// Entries as CMake writes them; links made from another folder carry "::@" markers.
QStringList SplitList(const QString& text) {
    QStringList out;
    for (const QString& part : text.split(u';', Qt::SkipEmptyParts)) {
        const QString item = part.trimmed();
        if (!item.isEmpty() && !item.startsWith(u"::@"))
            out.append(item);
    }
    return out;
}

Manifest ParseManifest(const QString& text) {
    Manifest m;
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype space = line.indexOf(u' ');
        const QString key = line.left(space);
        const QString rest = space < 0 ? QString() : line.mid(space + 1);
        if (key == u"source_root") {
            m.sourceRoot = QDir::cleanPath(rest);
        } else if (key == u"widgets_include") {
            if (rest.endsWith(u"/QtWidgets"))
                m.widgetsHeaders = rest;
        } else if (key == u"target") {
            const QStringList parts = rest.split(u' ');
            Target t;
            t.name = parts.value(0);
            t.type = parts.value(1);
            t.folder = parts.mid(2).join(u' ');
            m.targets.append(t);
        } else if (key == u"links" && !m.targets.isEmpty()) {
            m.targets.last().links = SplitList(rest);
        } else if (key == u"sources" && !m.targets.isEmpty()) {
            for (const QString& file : SplitList(rest))
                m.targets.last().files.append(
                    QDir::cleanPath(QDir(m.targets.last().folder).absoluteFilePath(file)));
        }
    }
    return m;
}

struct Include {
    QString name;
    bool quoted = false;
    int line = 0;
};

const QRegularExpression& IncludeLine() {
    static const QRegularExpression re(QStringLiteral(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])"));
    return re;
}

const QRegularExpression& OsTest() {
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*#\s*(if|ifdef|ifndef|elif)\b.*\b(_WIN32|_WIN64|__linux__|__linux|__unix__|__unix|__APPLE__|__MACH__|__FreeBSD__|__ANDROID__|Q_OS_\w+)\b)"));
    return re;
}

bool IsOsHeader(const QString& name) {
    static const QStringList exact = {
        "unistd.h",  "fcntl.h",   "csignal",  "signal.h", "windows.h", "pthread.h",
        "dlfcn.h",   "sched.h",   "dirent.h", "poll.h",   "termios.h", "pwd.h",
        "grp.h",     "spawn.h",   "elf.h",    "link.h",   "shlobj.h",  "winreg.h",
        "wbemidl.h", "objbase.h", "io.h",     "direct.h", "process.h", "tlhelp32.h"};
    const QString lower = name.toLower();
    return exact.contains(lower) || lower.startsWith(u"sys/") || lower.startsWith(u"linux/") ||
           lower.startsWith(u"asm/") || lower.startsWith(u"mach/") || lower.startsWith(u"win");
}

class Checker {
public:
    explicit Checker(Manifest m) : m_(std::move(m)) {
        for (const Target& t : m_.targets)
            for (const QString& f : t.files)
                owner_.insert(f, t.name);
        if (!m_.widgetsHeaders.isEmpty())
            widgetHeaders_ = QDir(m_.widgetsHeaders).entryList(QDir::Files);
    }

    QStringList Violations() {
        QStringList out;
        if (m_.targets.isEmpty())
            out << "the manifest names no targets";
        for (const Target& t : m_.targets) {
            const Layer layer = LayerOf(t.name);
            const QStringList closure = Closure(t.name);
            for (const QString& lib : closure) {
                if (layer == Layer::Engine && lib.startsWith(u"Qt"))
                    out << QStringLiteral("%1 links %2: the engine uses no Qt").arg(t.name, lib);
                if (IsCommandLine(t.name) && lib.startsWith(u"Qt"))
                    out << QStringLiteral("%1 links %2: the command line uses no Qt")
                               .arg(t.name, lib);
                if (IsWidgets(lib) && layer != Layer::Window && layer != Layer::FrontEnd)
                    out << QStringLiteral("%1 links %2: only window libraries use Qt Widgets")
                               .arg(t.name, lib);
            }
            for (const QString& file : t.files)
                CheckFile(t, layer, file, out);
        }
        return out;
    }

private:
    QStringList Closure(const QString& name) {
        QStringList seen;
        QStringList todo{name};
        while (!todo.isEmpty()) {
            const QString current = todo.takeLast();
            for (const Target& t : m_.targets) {
                if (t.name != current)
                    continue;
                for (const QString& lib : t.links)
                    if (!seen.contains(lib)) {
                        seen.append(lib);
                        todo.append(lib);
                    }
            }
        }
        return seen;
    }

    QString Relative(const QString& file) const {
        return QDir(m_.sourceRoot).relativeFilePath(file);
    }

    bool UnderSourceRoot(const QString& file) const {
        return file.startsWith(m_.sourceRoot + u'/');
    }

    // A quoted include as the compiler finds it: beside the file, else from src/.
    QString Resolve(const QString& file, const QString& name) const {
        const QString beside = QDir::cleanPath(QFileInfo(file).absolutePath() + u'/' + name);
        if (QFileInfo::exists(beside))
            return beside;
        const QString fromRoot = QDir::cleanPath(m_.sourceRoot + u'/' + name);
        if (QFileInfo::exists(fromRoot))
            return fromRoot;
        return {};
    }

    bool IsWidgetsHeader(const QString& name) const {
        return name == u"QtWidgets" || name.startsWith(u"QtWidgets/") ||
               widgetHeaders_.contains(name);
    }

    void CheckFile(const Target& t, Layer layer, const QString& file, QStringList& out) {
        if (!UnderSourceRoot(file))
            return; // generated into the build folder
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            out << QStringLiteral("%1: cannot be read").arg(Relative(file));
            return;
        }
        const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
        const bool inPlatform = layer == Layer::Platform;
        for (int i = 0; i < lines.size(); ++i) {
            const QString where = QStringLiteral("%1:%2").arg(Relative(file)).arg(i + 1);
            if (!inPlatform && OsTest().match(lines[i]).hasMatch())
                out << where + QString::fromUtf8(
                                   ": tests for an operating system outside the platform layer");
            const auto match = IncludeLine().match(lines[i]);
            if (!match.hasMatch())
                continue;
            const QString name = match.captured(2);
            const bool quoted = match.captured(1) == u"\"";
            if (!inPlatform && IsOsHeader(name))
                out << where + QString::fromUtf8(": includes the system header ") + name +
                           QString::fromUtf8(" outside the platform layer");
            if (!quoted && name.startsWith(u'Q') && layer == Layer::Engine)
                out << where + QString::fromUtf8(": the engine includes Qt (") + name +
                           QString::fromUtf8(")");
            if (!quoted && IsWidgetsHeader(name) && layer != Layer::Window &&
                layer != Layer::FrontEnd)
                out << where + QString::fromUtf8(": includes the Qt Widgets header ") + name +
                           QString::fromUtf8(" outside a window library");
            if (!quoted)
                continue;
            const QString target = Resolve(file, name);
            if (target.isEmpty() || !UnderSourceRoot(target))
                continue;
            const QString header = owner_.value(target);
            if (header.isEmpty()) {
                out << where + QString::fromUtf8(": includes ") + name +
                           QString::fromUtf8(", which belongs to no library");
                continue;
            }
            const Layer headerLayer = LayerOf(header);
            if (Rank(headerLayer) > Rank(layer))
                out << QStringLiteral("%1: the %2 library %3 includes %4 of the %5 library %6")
                           .arg(where, LayerName(layer), t.name, name, LayerName(headerLayer),
                                header);
        }
    }

    Manifest m_;
    QHash<QString, QString> owner_; // file -> target
    QStringList widgetHeaders_;
};

QString ReadText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool WriteText(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

} // namespace

class TestLayering : public QObject {
    Q_OBJECT

private slots:
    void buildKeepsTheLayers();
    void plantedFaultsAreCaught_data();
    void plantedFaultsAreCaught();
};

void TestLayering::buildKeepsTheLayers() {
    const QString text = ReadText(QStringLiteral(ZENTARO_BIN_DIR "/layers.txt"));
    QVERIFY2(!text.isEmpty(), "the build wrote no layers.txt");
    const Manifest m = ParseManifest(text);
    QVERIFY(!m.widgetsHeaders.isEmpty());
    QStringList names;
    for (const Target& t : m.targets)
        names << t.name;
    for (const char* expected :
         {"zentaro_platform", "zentaro_engine", "zentaro_i18n", "zentaro_i18n_ui", "zentaro-cli"})
        QVERIFY2(names.contains(QString::fromLatin1(expected)), expected);
    const QStringList violations = Checker(m).Violations();
    QVERIFY2(violations.isEmpty(), qPrintable(violations.join(u'\n')));
}

// A small tree with one fault planted per row: the checker must name it.
void TestLayering::plantedFaultsAreCaught_data() {
    QTest::addColumn<QString>("file"); // under src/
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("extraLink"); // added to the target owning the file
    QTest::addColumn<QString>("expected");  // part of a violation text; none when empty

    QTest::newRow("clean tree") << "engine/run.cpp" << QByteArray("#include \"engine/run.h\"\n")
                                << ""
                                << "";
    QTest::newRow("engine includes Qt")
        << "engine/run.cpp" << QByteArray("#include <QString>\n") << ""
        << "the engine includes Qt";
    QTest::newRow("engine links Qt") << "engine/run.cpp" << QByteArray("\n") << "Qt6::Core"
                                     << "the engine uses no Qt";
    QTest::newRow("logic links Widgets")
        << "sysinfo/facts.cpp" << QByteArray("\n") << "Qt6::Widgets"
        << "only window libraries use Qt Widgets";
    QTest::newRow("command line links Qt") << "cli/cli.cpp" << QByteArray("\n") << "Qt6::Core"
                                           << "the command line uses no Qt";
    QTest::newRow("logic includes a Widgets header")
        << "sysinfo/facts.cpp" << QByteArray("#include <QDialog>\n") << ""
        << "Qt Widgets header QDialog outside a window library";
    QTest::newRow("logic includes a window header")
        << "sysinfo/facts.cpp" << QByteArray("#include \"i18n/dialog.h\"\n") << ""
        << "the logic library zentaro_sysinfo includes i18n/dialog.h of the window library";
    QTest::newRow("engine includes logic")
        << "engine/run.cpp" << QByteArray("#include \"sysinfo/facts.h\"\n") << ""
        << "the engine library zentaro_engine includes sysinfo/facts.h";
    QTest::newRow("header of no library")
        << "sysinfo/facts.cpp" << QByteArray("#include \"sysinfo/stray.h\"\n") << ""
        << "belongs to no library";
    QTest::newRow("system header outside platform")
        << "cli/cli.cpp" << QByteArray("#include <unistd.h>\n") << ""
        << "system header unistd.h outside the platform layer";
    QTest::newRow("signals outside platform")
        << "cli/cli.cpp" << QByteArray("#include <csignal>\n") << ""
        << "system header csignal outside the platform layer";
    QTest::newRow("test for an OS outside platform")
        << "sysinfo/facts.cpp" << QByteArray("#if defined(_WIN32)\n#endif\n") << ""
        << "tests for an operating system";
}

void TestLayering::plantedFaultsAreCaught() {
    QFETCH(QString, file);
    QFETCH(QByteArray, body);
    QFETCH(QString, extraLink);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString src = dir.filePath("src");
    struct Lib {
        const char* name;
        const char* folder;
        QStringList files;
        QStringList links;
    };
    QList<Lib> libs = {
        {"zentaro_platform", "platform", {"platform/clock.h", "platform/linux/clock.cpp"}, {}},
        {"zentaro_engine", "engine", {"engine/run.cpp", "engine/run.h"}, {"Threads::Threads"}},
        {"zentaro_sysinfo",
         "sysinfo",
         {"sysinfo/facts.cpp", "sysinfo/facts.h"},
         {"zentaro_platform"}},
        {"zentaro_i18n_ui", "i18n", {"i18n/dialog.cpp", "i18n/dialog.h"}, {"Qt6::Widgets"}},
        {"zentaro_cli_lib", "cli", {"cli/cli.cpp"}, {"zentaro_engine", "zentaro_sysinfo"}},
    };
    // The platform layer may do all of this; it shows the rules know their exception.
    QVERIFY(WriteText(
        src + "/platform/linux/clock.cpp",
        "#include <unistd.h>\n#ifdef __linux__\n#endif\n#include \"platform/clock.h\"\n"));
    QByteArray manifest = "source_root " + src.toUtf8() + "\nwidgets_include " +
                          dir.filePath("QtWidgets").toUtf8() + "\n";
    QVERIFY(WriteText(dir.filePath("QtWidgets/QDialog"), "\n"));
    QVERIFY(WriteText(src + "/sysinfo/stray.h", "\n"));
    for (Lib& lib : libs) {
        for (const QString& f : lib.files) {
            if (!QFileInfo::exists(src + u'/' + f))
                QVERIFY(WriteText(src + u'/' + f, f == file ? body : QByteArray("\n")));
            if (f == file && !extraLink.isEmpty())
                lib.links << extraLink;
        }
        QStringList relative;
        for (const QString& f : lib.files)
            relative << QDir(src + u'/' + QString::fromLatin1(lib.folder))
                            .relativeFilePath(src + u'/' + f);
        manifest += "target " + QByteArray(lib.name) + " STATIC_LIBRARY " + src.toUtf8() + "/" +
                    lib.folder + "\nlinks " + lib.links.join(u';').toUtf8() + "\nsources " +
                    relative.join(u';').toUtf8() + "\n";
    }

    const QStringList violations = Checker(ParseManifest(QString::fromUtf8(manifest))).Violations();
    if (expected.isEmpty()) {
        QVERIFY2(violations.isEmpty(), qPrintable(violations.join(u'\n')));
        return;
    }
    const bool named = std::any_of(violations.begin(), violations.end(),
                                   [&](const QString& v) { return v.contains(expected); });
    QVERIFY2(named, qPrintable(violations.join(u'\n')));
}

QTEST_GUILESS_MAIN(TestLayering)
#include "test_layering.moc"
