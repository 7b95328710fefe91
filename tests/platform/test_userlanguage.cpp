#include "platform/userlanguage.h"

#include <QTest>
#include <array>
#include <optional>

namespace {

constexpr std::array<const char*, 4> kVariables{"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

// A value of "-" leaves the variable unset.
void SetVariable(const char* name, const QByteArray& value) {
    if (value == "-")
        qunsetenv(name);
    else
        qputenv(name, value);
}

} // namespace

// The real environment of this process, changed row by row and restored afterwards.
class TestUserLanguage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        for (std::size_t i = 0; i < kVariables.size(); ++i)
            if (qEnvironmentVariableIsSet(kVariables[i]))
                saved_[i] = qgetenv(kVariables[i]);
    }
    void cleanupTestCase() {
        for (std::size_t i = 0; i < kVariables.size(); ++i)
            SetVariable(kVariables[i], saved_[i].value_or("-"));
    }

    void displayLanguageId_data();
    void displayLanguageId();

private:
    std::array<std::optional<QByteArray>, kVariables.size()> saved_;
};

void TestUserLanguage::displayLanguageId_data() {
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QByteArray>("lcAll");
    QTest::addColumn<QByteArray>("lcMessages");
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<int>("expected");

    // Locale names as systems write them.
    QTest::newRow("de_DE") << QByteArray("-") << QByteArray("-") << QByteArray("-")
                           << QByteArray("de_DE.UTF-8") << 1031;
    QTest::newRow("de_AT") << QByteArray("-") << QByteArray("-") << QByteArray("-")
                           << QByteArray("de_AT.UTF-8") << 3079;
    QTest::newRow("tr_TR") << QByteArray("-") << QByteArray("-") << QByteArray("-")
                           << QByteArray("tr_TR.UTF-8") << 1055;
    QTest::newRow("pt_BR") << QByteArray("-") << QByteArray("-") << QByteArray("-")
                           << QByteArray("pt_BR") << 1046;
    QTest::newRow("zh_CN") << QByteArray("-") << QByteArray("-") << QByteArray("-")
                           << QByteArray("zh_CN.GB18030") << 2052;
    QTest::newRow("en_US") << QByteArray("-") << QByteArray("-") << QByteArray("-")
                           << QByteArray("en_US.UTF-8") << 1033;
    QTest::newRow("euro modifier") << QByteArray("-") << QByteArray("-") << QByteArray("-")
                                   << QByteArray("de_AT@euro") << 3079;
    QTest::newRow("hyphenated") << QByteArray("-") << QByteArray("-") << QByteArray("-")
                                << QByteArray("pt-BR.UTF-8") << 1046;
    QTest::newRow("latin script modifier") << QByteArray("-") << QByteArray("-") << QByteArray("-")
                                           << QByteArray("sr_RS@latin") << 9242;
    QTest::newRow("serbian defaults to cyrillic")
        << QByteArray("-") << QByteArray("-") << QByteArray("-") << QByteArray("sr_RS") << 10266;

    // A bare language is the one of its usual region, as Windows would report it.
    QTest::newRow("bare de") << QByteArray("de") << QByteArray("-") << QByteArray("-")
                             << QByteArray("-") << 1031;
    QTest::newRow("bare zh") << QByteArray("zh") << QByteArray("-") << QByteArray("-")
                             << QByteArray("-") << 2052;
    QTest::newRow("bare en") << QByteArray("-") << QByteArray("-") << QByteArray("-")
                             << QByteArray("en") << 1033;

    // English when nothing names a language.
    QTest::newRow("nothing set") << QByteArray("-") << QByteArray("-") << QByteArray("-")
                                 << QByteArray("-") << 1033;
    QTest::newRow("C") << QByteArray("-") << QByteArray("-") << QByteArray("-") << QByteArray("C")
                       << 1033;
    QTest::newRow("C.UTF-8") << QByteArray("-") << QByteArray("C.UTF-8") << QByteArray("-")
                             << QByteArray("de_DE.UTF-8") << 1033;
    QTest::newRow("POSIX") << QByteArray("-") << QByteArray("-") << QByteArray("-")
                           << QByteArray("POSIX") << 1033;
    QTest::newRow("unknown locale") << QByteArray("-") << QByteArray("-") << QByteArray("-")
                                    << QByteArray("xx_YY.UTF-8") << 1033;
    QTest::newRow("garbage") << QByteArray("-") << QByteArray("-") << QByteArray("-")
                             << QByteArray("de_DE/../..") << 1033;

    // Which variable counts.
    QTest::newRow("LANGUAGE first") << QByteArray("zh_CN") << QByteArray("de_DE")
                                    << QByteArray("tr_TR") << QByteArray("pt_BR") << 2052;
    QTest::newRow("first entry of the LANGUAGE list")
        << QByteArray("fr_FR:de_DE") << QByteArray("-") << QByteArray("-") << QByteArray("-")
        << 1036;
    QTest::newRow("empty LANGUAGE counts as unset")
        << QByteArray("") << QByteArray("-") << QByteArray("-") << QByteArray("tr_TR") << 1055;
    QTest::newRow("LC_ALL before LC_MESSAGES")
        << QByteArray("-") << QByteArray("pt_BR") << QByteArray("de_DE") << QByteArray("tr_TR")
        << 1046;
    QTest::newRow("LC_MESSAGES before LANG")
        << QByteArray("-") << QByteArray("") << QByteArray("de_DE") << QByteArray("tr_TR") << 1031;
    QTest::newRow("language without identifier passed over")
        << QByteArray("eo") << QByteArray("-") << QByteArray("-") << QByteArray("de_AT") << 3079;
}

void TestUserLanguage::displayLanguageId() {
    QFETCH(QByteArray, language);
    QFETCH(QByteArray, lcAll);
    QFETCH(QByteArray, lcMessages);
    QFETCH(QByteArray, lang);
    QFETCH(int, expected);

    SetVariable("LANGUAGE", language);
    SetVariable("LC_ALL", lcAll);
    SetVariable("LC_MESSAGES", lcMessages);
    SetVariable("LANG", lang);
    const auto user = zentaro::platform::CreateSystemUserLanguage();
    QCOMPARE(int(user->DisplayLanguageId()), expected);
}

QTEST_GUILESS_MAIN(TestUserLanguage)
#include "test_userlanguage.moc"
