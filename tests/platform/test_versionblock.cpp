// The version-block layout: queries as the Windows reader answers them, values
// whose stored lengths follow other writers' habits, and blocks that do not
// hold together.
#include "platform/versionblock.h"

#include <QtTest>
#include <random>

namespace vb = zentaro::platform::versionblock;
using Bytes = std::vector<std::uint8_t>;

namespace {

// English table second in the file, first in the translation list.
vb::Contents SampleContents() {
    vb::Contents c;
    c.fixed.fileVersionMS = 1u << 16 | 10;
    c.fixed.fileVersionLS = 2u << 16 | 3;
    c.translations = {{0x0409, 0x04B0}, {0x0407, 0x04B0}};
    c.tables = {{"040704B0", {{"CompanyName", "KESTRIX GmbH"}, {"Comments", "nur deutsch"}}},
                {"040904b0",
                 {{"CompanyName", "KESTRIX"},
                  {"OriginalFilename", "zentaro-cli"},
                  {"LegalCopyright", "Copyright \u00a9 2025 KESTRIX \U0001F680"},
                  {"PrivateBuild", ""}}}};
    return c;
}

Bytes SampleBlock() {
    return *vb::Build(SampleContents());
}

// Offset of the node whose key is name (the key follows the 6-byte header).
std::size_t NodeOf(const Bytes& block, const std::string& name) {
    const std::u16string key = vb::Utf8ToUtf16(name);
    for (std::size_t at = 0; at + 6 + 2 * key.size() <= block.size(); at += 2) {
        bool match = true;
        for (std::size_t i = 0; i < key.size() && match; ++i)
            match = block[at + 6 + 2 * i] == (key[i] & 0xFF) && block[at + 7 + 2 * i] == 0;
        if (match)
            return at;
    }
    return std::string::npos;
}

void PutU16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

const char* const kPaths[] = {
    "\\",
    "\\VarFileInfo\\Translation\\",
    "\\StringFileInfo\\040904b0\\CompanyName",
    "\\StringFileInfo\\040904B0\\OriginalFileName",
    "\\StringFileInfo\\040904b0\\LegalCopyright",
    "\\StringFileInfo\\040904b0\\PrivateBuild",
    "\\StringFileInfo\\040704b0\\Comments",
    "\\StringFileInfo\\040904b0",
    "\\StringFileInfo\\040904b0\\Missing",
};

// Every value a query hands out must lie inside the block it was given.
bool AllQueriesStayInside(const Bytes& block) {
    for (const char* path : kPaths) {
        const auto v = vb::Query(block, path);
        if (!v)
            continue;
        if (!v->bytes.empty() && (v->bytes.data() < block.data() ||
                                  v->bytes.data() + v->bytes.size() > block.data() + block.size()))
            return false;
        (void)vb::TextOf(*v);
    }
    return true;
}

} // namespace

class TestVersionBlock : public QObject {
    Q_OBJECT

private slots:
    void strings_data();
    void strings();
    void fixedInfoAndTranslation();
    void lengthsAsWritten_data();
    void lengthsAsWritten();
    void brokenBlocks_data();
    void brokenBlocks();
    void everyTruncation();
    void conversions_data();
    void conversions();
    void randomMutations();
};

void TestVersionBlock::strings_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("text");
    QTest::newRow("as stored") << "\\StringFileInfo\\040904b0\\CompanyName" << true << "KESTRIX";
    QTest::newRow("table key in other case")
        << "\\StringFileInfo\\040904B0\\CompanyName" << true << "KESTRIX";
    QTest::newRow("stored key in other case")
        << "\\stringfileinfo\\040704b0\\COMPANYNAME" << true << "KESTRIX GmbH";
    QTest::newRow("name in other case")
        << "\\StringFileInfo\\040904b0\\OriginalFileName" << true << "zentaro-cli";
    QTest::newRow("beyond Latin-1")
        << "\\StringFileInfo\\040904b0\\LegalCopyright" << true
        << QString::fromUtf8("Copyright \u00a9 2025 KESTRIX \U0001F680");
    QTest::newRow("present but empty") << "\\StringFileInfo\\040904b0\\PrivateBuild" << true << "";
    QTest::newRow("only in the other table")
        << "\\StringFileInfo\\040904b0\\Comments" << false << "";
    QTest::newRow("no such table") << "\\StringFileInfo\\041104b0\\CompanyName" << false << "";
    QTest::newRow("below a string") << "\\StringFileInfo\\040904b0\\CompanyName\\x" << false << "";
    QTest::newRow("prefix of a name") << "\\StringFileInfo\\040904b0\\Company" << false << "";
}

void TestVersionBlock::strings() {
    QFETCH(QString, path);
    QFETCH(bool, found);
    QFETCH(QString, text);
    const Bytes block = SampleBlock();
    const auto v = vb::Query(block, path.toStdString());
    QCOMPARE(v.has_value(), found);
    if (found) {
        QVERIFY(v->text);
        QCOMPARE(QString::fromStdString(vb::TextOf(*v)), text);
    }
}

void TestVersionBlock::fixedInfoAndTranslation() {
    const Bytes block = SampleBlock();
    QCOMPARE(block.size() % 4, 0u);
    QCOMPARE(block[0] | block[1] << 8, int(block.size())); // the root spans the block

    const auto fixed = vb::Query(block, "\\");
    QVERIFY(fixed && !fixed->text);
    QCOMPARE(fixed->declaredLength, vb::kFixedInfoSize);
    QVERIFY(fixed->bytes.size() >= vb::kFixedInfoSize); // the root's children follow
    QCOMPARE(vb::ReadU32(fixed->bytes, 0), vb::kFixedInfoSignature);
    QCOMPARE(vb::ReadU32(fixed->bytes, 8), 1u << 16 | 10);
    QCOMPARE(vb::ReadU32(fixed->bytes, 12), 2u << 16 | 3);

    for (const char* path : {"\\VarFileInfo\\Translation\\", "\\VarFileInfo\\Translation"}) {
        const auto t = vb::Query(block, path);
        QVERIFY2(t, path);
        QCOMPARE(t->bytes.size(), 8u);
        QCOMPARE(t->declaredLength, 8u);
        QCOMPARE(vb::ReadU32(t->bytes, 0), 0x04B00409u); // language low, code page high
    }
}

// Writers differ in what a value's stored length counts: UTF-16 units with or
// without the zero, bytes, or nothing. A text reads from its start to its zero
// or its node's end whatever the length says, and the stored length never
// moves a neighbour.
void TestVersionBlock::lengthsAsWritten_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("length");    // stored in place of the value length
    QTest::addColumn<bool>("dropZero"); // the text's zero overwritten: it runs to the node's end
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("size"); // bytes handed back
    const QString company = "\\StringFileInfo\\040904b0\\CompanyName";
    const QString translation = "\\VarFileInfo\\Translation";
    // "KESTRIX" and its zero: 8 units, 16 bytes, to the end of its node.
    QTest::newRow("units with the zero") << company << 8 << false << "KESTRIX" << 16;
    QTest::newRow("length 0") << company << 0 << false << "KESTRIX" << 16;
    QTest::newRow("units without the zero") << company << 7 << false << "KESTRIX" << 16;
    QTest::newRow("shorter count") << company << 3 << false << "KESTRIX" << 16;
    QTest::newRow("bytes") << company << 16 << false << "KESTRIX" << 16;
    QTest::newRow("beyond the node") << company << 0xFFFF << false << "KESTRIX" << 16;
    QTest::newRow("no zero before the node's end") << company << 8 << true << "KESTRIXX" << 16;
    QTest::newRow("binary value beyond its node") << translation << 0x0100 << false << "" << 8;
    QTest::newRow("binary value shorter than stored") << translation << 2 << false << "" << 8;
}

void TestVersionBlock::lengthsAsWritten() {
    QFETCH(QString, path);
    QFETCH(int, length);
    QFETCH(bool, dropZero);
    QFETCH(QString, text);
    QFETCH(int, size);
    Bytes b = SampleBlock();
    const std::string name = path.section('\\', -1).toStdString();
    std::size_t node = NodeOf(b, name);
    if (name == "CompanyName") // the English one, second in the file
        node = NodeOf(Bytes(b.begin() + node + 2, b.end()), name) + node + 2;
    QVERIFY(node != std::string::npos);
    PutU16(b, node + 2, static_cast<std::uint16_t>(length));
    if (dropZero) {
        const std::size_t nodeLength = b[node] | b[node + 1] << 8;
        PutU16(b, node + nodeLength - 2, 'X');
    }

    const auto v = vb::Query(b, path.toStdString());
    QVERIFY(v);
    QCOMPARE(int(v->bytes.size()), size);
    QCOMPARE(int(v->declaredLength), length);
    if (v->text)
        QCOMPARE(QString::fromStdString(vb::TextOf(*v)), text);
    // The strings beside it are found as before.
    const auto next = vb::Query(b, "\\StringFileInfo\\040904b0\\OriginalFileName");
    QVERIFY(next);
    QCOMPARE(vb::TextOf(*next), std::string("zentaro-cli"));
    QVERIFY(vb::Query(b, "\\StringFileInfo\\040704b0\\Comments"));
    QVERIFY(AllQueriesStayInside(b));
}

void TestVersionBlock::brokenBlocks_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("path");
    const QString company = "\\StringFileInfo\\040904b0\\CompanyName";
    QTest::newRow("root longer than the block") << "root length" << company;
    QTest::newRow("string longer than its table") << "string length" << company;
    QTest::newRow("zero-length node") << "zero length" << company;
    QTest::newRow("key without its zero") << "key unterminated" << company;
    QTest::newRow("empty block") << "empty"
                                 << "\\";
    QTest::newRow("header only") << "header only"
                                 << "\\";
}

void TestVersionBlock::brokenBlocks() {
    QFETCH(QString, damage);
    QFETCH(QString, path);
    Bytes b = SampleBlock();
    const std::size_t company = NodeOf(b, "CompanyName");
    const std::size_t englishCompany =
        NodeOf(Bytes(b.begin() + company + 2, b.end()), "CompanyName") + company + 2;
    const std::size_t translation = NodeOf(b, "Translation");
    QVERIFY(company != std::string::npos && translation != std::string::npos);
    if (damage == "root length") {
        PutU16(b, 0, static_cast<std::uint16_t>(b.size() + 4));
    } else if (damage == "string length") {
        PutU16(b, englishCompany, 0xFFF0);
    } else if (damage == "zero length") {
        PutU16(b, englishCompany, 0);
    } else if (damage == "key unterminated") {
        // The node ends inside its own key.
        PutU16(b, englishCompany, 6 + 2 * 5);
    } else if (damage == "empty") {
        b.clear();
    } else if (damage == "header only") {
        b.resize(6);
    }
    QVERIFY(!vb::Query(b, path.toStdString()));
    QVERIFY(AllQueriesStayInside(b));
}

// A block cut short anywhere reads as "no such value" wherever the cut falls.
void TestVersionBlock::everyTruncation() {
    const Bytes full = SampleBlock();
    for (std::size_t n = 0; n < full.size(); ++n) {
        // A copy of exactly n bytes, so that a read past it is caught by the sanitizers.
        const Bytes cut(full.begin(), full.begin() + n);
        QVERIFY2(!vb::Query(cut, "\\StringFileInfo\\040904b0\\PrivateBuild"),
                 qPrintable(QString("cut at %1").arg(n)));
        QVERIFY2(AllQueriesStayInside(cut), qPrintable(QString("cut at %1").arg(n)));
    }
}

// UTF-8 in, UTF-16 out and back: what is not a character in shortest form
// becomes U+FFFD.
void TestVersionBlock::conversions_data() {
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QString>("utf16");
    QTest::addColumn<QByteArray>("back"); // UTF-8 of utf16
    const QByteArray replacement = "\xEF\xBF\xBD";
    QTest::newRow("ASCII") << QByteArray("KESTRIX") << "KESTRIX" << QByteArray("KESTRIX");
    QTest::newRow("two, three and four bytes")
        << QByteArray("\xC2\xA9\xE2\x82\xAC\xF0\x9F\x9A\x80")
        << QString::fromUtf8("\u00A9\u20AC\U0001F680")
        << QByteArray("\xC2\xA9\xE2\x82\xAC\xF0\x9F\x9A\x80");
    QTest::newRow("overlong slash")
        << QByteArray("a\xC0\xAF") << QString("a\uFFFD") << "a" + replacement;
    QTest::newRow("overlong three bytes")
        << QByteArray("\xE0\x80\xAF") << QString("\uFFFD") << replacement;
    QTest::newRow("overlong four bytes")
        << QByteArray("\xF0\x80\x80\xAF") << QString("\uFFFD") << replacement;
    QTest::newRow("encoded surrogate")
        << QByteArray("\xED\xA0\x80") << QString("\uFFFD") << replacement;
    QTest::newRow("past U+10FFFF")
        << QByteArray("\xF4\x90\x80\x80") << QString("\uFFFD") << replacement;
    QTest::newRow("cut short, then ASCII")
        << QByteArray("\xE2\x82x") << QString("\uFFFDx") << replacement + "x";
    QTest::newRow("stray continuation") << QByteArray("\x80") << QString("\uFFFD") << replacement;
}

void TestVersionBlock::conversions() {
    QFETCH(QByteArray, utf8);
    QFETCH(QString, utf16);
    QFETCH(QByteArray, back);
    const std::u16string wide = vb::Utf8ToUtf16(utf8.toStdString());
    QCOMPARE(QString::fromStdU16String(wide), utf16);
    QCOMPARE(QByteArray::fromStdString(vb::Utf16ToUtf8(wide)), back);
}

// Seeded random damage: lengths, keys and values overwritten, blocks cut.
// Run under the address sanitizer this is a small fuzzer of its own.
void TestVersionBlock::randomMutations() {
    const Bytes original = SampleBlock();
    std::mt19937 random(20250601);
    for (int round = 0; round < 20000; ++round) {
        Bytes b = original;
        const int damages = 1 + static_cast<int>(random() % 6);
        for (int d = 0; d < damages && !b.empty(); ++d) {
            const std::size_t at = random() % b.size();
            switch (random() % 5) {
            case 0:
                b[at] = static_cast<std::uint8_t>(random());
                break;
            case 1: // a 16-bit field, as lengths are
                if ((at & ~std::size_t{1}) + 1 < b.size())
                    PutU16(b, at & ~std::size_t{1},
                           static_cast<std::uint16_t>(std::array<unsigned, 4>{
                               0, 0xFFFF, static_cast<unsigned>(random() % 64),
                               static_cast<unsigned>(random())}[random() % 4]));
                break;
            case 2:
                b.resize(at);
                break;
            case 3:
                b.erase(b.begin() + static_cast<std::ptrdiff_t>(at));
                break;
            default:
                b.insert(b.begin() + static_cast<std::ptrdiff_t>(at),
                         static_cast<std::uint8_t>(random()));
            }
        }
        b.shrink_to_fit();
        QVERIFY2(AllQueriesStayInside(b), qPrintable(QString("round %1").arg(round)));
    }
}

QTEST_APPLESS_MAIN(TestVersionBlock)
#include "test_versionblock.moc"
