// Where the Languages folder and license.txt are found: beside the program (a
// build folder, a Windows installation) before the shared data folder of an
// installation under a prefix, and beside the program when neither has one.
#include "platform/shippedfiles.h"
#include "support/filetree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using zentaro::platform::ShippedKind;
using zentaro::platform::ShippedPath;

namespace {

// A prefix with bin/ and the shared data folder found from it.
struct Installation {
    QTemporaryDir root;
    QString bin = root.filePath("bin");
    QString shared =
        QDir::cleanPath(bin + '/' + QString::fromUtf8(zentaro::platform::kSharedFolderFromProgram));

    // Puts `what` at folder/name: "file", "folder", "link to file", "link to
    // folder", "dangling link" or nothing ("").
    bool make(const QString& folder, const QString& name, const QString& what) const {
        const QString path = folder + '/' + name;
        if (!QDir().mkpath(folder))
            return false;
        if (what.isEmpty())
            return true;
        if (what == "file")
            return zentaro::testing::WriteText(path, "text");
        if (what == "folder")
            return QDir().mkpath(path);
        if (what == "link to file")
            return zentaro::testing::WriteText(root.filePath("target"), "text") &&
                   QFile::link(root.filePath("target"), path);
        if (what == "link to folder")
            return QDir().mkpath(root.filePath("target")) &&
                   QFile::link(root.filePath("target"), path);
        if (what == "dangling link")
            return QFile::link(root.filePath("gone"), path);
        qWarning("unknown fixture '%s'", qPrintable(what));
        return false;
    }

    QString find(const QString& name, ShippedKind kind) const {
        return QString::fromStdString(ShippedPath(bin.toStdString(), name.toStdString(), kind));
    }
};

} // namespace

class TestShippedFiles : public QObject {
    Q_OBJECT
private slots:
    void whereItIsFound_data();
    void whereItIsFound();
    void unknownProgramFolder();
    void trailingSeparator();
    void folderNamesBeyondAscii();
};

void TestShippedFiles::whereItIsFound_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("folder");    // the kind asked for: a folder, else a file
    QTest::addColumn<QString>("beside"); // what lies beside the program
    QTest::addColumn<QString>("shared"); // what lies in the shared data folder
    QTest::addColumn<QString>("found");  // "beside" or "shared"

    // The language folder.
    QTest::newRow("build folder") << "Languages" << true << "folder"
                                  << ""
                                  << "beside";
    QTest::newRow("installation") << "Languages" << true << ""
                                  << "folder"
                                  << "shared";
    QTest::newRow("both: beside wins") << "Languages" << true << "folder"
                                       << "folder"
                                       << "beside";
    QTest::newRow("neither: beside") << "Languages" << true << ""
                                     << ""
                                     << "beside";
    QTest::newRow("a file is no folder") << "Languages" << true << "file"
                                         << "folder"
                                         << "shared";
    QTest::newRow("a file in the shared place is no folder either") << "Languages" << true << ""
                                                                    << "file"
                                                                    << "beside";
    QTest::newRow("link to a folder beside") << "Languages" << true << "link to folder"
                                             << "folder"
                                             << "beside";
    QTest::newRow("link to a folder in the shared place") << "Languages" << true << ""
                                                          << "link to folder"
                                                          << "shared";
    QTest::newRow("dangling link beside") << "Languages" << true << "dangling link"
                                          << "folder"
                                          << "shared";

    // The licence.
    QTest::newRow("licence beside") << "license.txt" << false << "file"
                                    << ""
                                    << "beside";
    QTest::newRow("licence installed") << "license.txt" << false << ""
                                       << "file"
                                       << "shared";
    QTest::newRow("licence in both") << "license.txt" << false << "file"
                                     << "file"
                                     << "beside";
    QTest::newRow("licence nowhere") << "license.txt" << false << ""
                                     << ""
                                     << "beside";
    QTest::newRow("a folder is no licence") << "license.txt" << false << "folder"
                                            << "file"
                                            << "shared";
    QTest::newRow("licence link beside") << "license.txt" << false << "link to file"
                                         << "file"
                                         << "beside";
    QTest::newRow("licence link installed") << "license.txt" << false << ""
                                            << "link to file"
                                            << "shared";
    QTest::newRow("dangling licence link beside") << "license.txt" << false << "dangling link"
                                                  << "file"
                                                  << "shared";
}

void TestShippedFiles::whereItIsFound() {
    QFETCH(QString, name);
    QFETCH(bool, folder);
    QFETCH(QString, beside);
    QFETCH(QString, shared);
    QFETCH(QString, found);
    const Installation in;
    QVERIFY(in.root.isValid());
    QVERIFY(in.make(in.bin, name, beside));
    QVERIFY(in.make(in.shared, name, shared));

    const QString expected = (found == "beside" ? in.bin : in.shared) + '/' + name;
    QCOMPARE(in.find(name, folder ? ShippedKind::Folder : ShippedKind::File), expected);
}

// An executable whose folder is unknown has no shipped files at all; the
// current folder is never searched instead.
void TestShippedFiles::unknownProgramFolder() {
    QCOMPARE(ShippedPath("", "Languages", ShippedKind::Folder), std::string());
    QCOMPARE(ShippedPath("", "license.txt", ShippedKind::File), std::string());
}

// The program's folder may come with its separator; the result has one only.
void TestShippedFiles::trailingSeparator() {
    const Installation in;
    QVERIFY(in.make(in.shared, "Languages", "folder"));
    QCOMPARE(QString::fromStdString(
                 ShippedPath((in.bin + '/').toStdString(), "Languages", ShippedKind::Folder)),
             in.shared + "/Languages");
    QCOMPARE(QString::fromStdString(
                 ShippedPath((in.bin + '/').toStdString(), "license.txt", ShippedKind::File)),
             in.bin + "/license.txt");
}

// Paths are UTF-8 in and out, whatever the folder is called.
void TestShippedFiles::folderNamesBeyondAscii() {
    QTemporaryDir root;
    // Below the non-ASCII folder, so that both places lie inside it.
    const QString bin = root.filePath(QString::fromUtf8("Pr\xc3\xbc"
                                                        "fung \xe2\x86\x92/bin"));
    const QString shared =
        QDir::cleanPath(bin + '/' + QString::fromUtf8(zentaro::platform::kSharedFolderFromProgram));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(zentaro::testing::WriteText(shared + "/license.txt", "text"));
    const std::string found =
        ShippedPath(bin.toUtf8().toStdString(), "license.txt", ShippedKind::File);
    QCOMPARE(QString::fromUtf8(found.c_str()), shared + "/license.txt");
}

QTEST_APPLESS_MAIN(TestShippedFiles)
#include "test_shippedfiles.moc"
