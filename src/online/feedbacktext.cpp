#include "online/feedbacktext.h"

#include "online/protocol.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <memory>
#include <pcre2.h>

namespace zentaro::online {

namespace {

bool SpaceOrControl(QChar c) {
    const char16_t u = c.unicode();
    return u <= u' ' || (u >= 0x7F && u <= 0x9F);
}

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};

// Compiled once; a compiled pattern may be matched from any thread.
const pcre2_code* EmailPattern() {
    static const std::unique_ptr<pcre2_code, CodeDeleter> code = [] {
        static constexpr char kPattern[] =
            R"(^[a-zA-Z0-9_.+-]+@[a-zA-Z0-9-]+\.[a-zA-Z0-9-.]*[a-zA-Z0-9]+$)";
        int error = 0;
        PCRE2_SIZE offset = 0;
        return std::unique_ptr<pcre2_code, CodeDeleter>(
            pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kPattern), PCRE2_ZERO_TERMINATED, 0, &error,
                          &offset, nullptr));
    }();
    return code.get();
}

} // namespace

QString TrimSpacesAndControls(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && SpaceOrControl(text[start]))
        ++start;
    while (end > start && SpaceOrControl(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

QString ChoiceWord(const QString& english, const QString& caption) {
    if (caption == english)
        return english;
    return english + QStringLiteral(" (") + caption + u')';
}

QString ComposeFeedback(FeedbackChoice choice, const QString& likeCaption,
                        const QString& dislikeCaption, const QString& text) {
    const QString trimmed = TrimSpacesAndControls(text);
    if (trimmed.isEmpty())
        return {};
    QString prefix;
    if (choice == FeedbackChoice::Like)
        prefix = ChoiceWord(QStringLiteral("I like it!"), likeCaption) + u'\r';
    else if (choice == FeedbackChoice::Dislike)
        prefix = ChoiceWord(QStringLiteral("I dislike it!"), dislikeCaption) + u'\r';
    return prefix + trimmed;
}

bool IsValidEmail(const QString& Address) {
    const pcre2_code* pattern = EmailPattern();
    if (!pattern)
        return false;
    const QByteArray subject = Address.toUtf8();
    const std::unique_ptr<pcre2_match_data, MatchDataDeleter> match(
        pcre2_match_data_create_from_pattern(pattern, nullptr));
    if (!match)
        return false;
    const int found =
        pcre2_match(pattern, reinterpret_cast<PCRE2_SPTR>(subject.constData()),
                    static_cast<PCRE2_SIZE>(subject.size()), 0, 0, match.get(), nullptr);
    if (found < 0)
        return false;
    // "$" also matches before a final line break: the match must be the whole text.
    const PCRE2_SIZE* span = pcre2_get_ovector_pointer(match.get());
    return span[0] == 0 && span[1] == static_cast<PCRE2_SIZE>(subject.size());
}

QStringList FeedbackFields(const QString& AppTitle, const QString& AppVersion,
                           const QString& feedback, const QString& email) {
    QStringList fields{
        QStringLiteral("cmd=feedback"),
        QStringLiteral("appname=") + AppTitle,
        QStringLiteral("version=") + AppVersion,
        QStringLiteral("feedback=") + feedback,
    };
    if (!email.isEmpty())
        fields.append(QStringLiteral("email=") + email);
    return fields;
}

bool FeedbackDelivered(const std::optional<QString>& reply) {
    if (!reply)
        return false;
    return TrimSpacesAndControls(SplitReplyLines(*reply).join(u'\n')) == u"OK";
}

} // namespace zentaro::online
