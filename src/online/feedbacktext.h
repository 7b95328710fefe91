#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace zentaro::online {

// The rules of the feedback window that need no window.

enum class FeedbackChoice { None, Like, Dislike };

// Text without the spaces and control characters at both ends.
QString TrimSpacesAndControls(const QString& text);

// "I like it!", or "I like it! (J'aime !)" when the panel's caption is a translation.
QString ChoiceWord(const QString& english, const QString& caption);

// The feedback as sent: the choice's word and one CR before the trimmed text.
// Empty when the trimmed text is empty: a choice alone is never sent.
QString ComposeFeedback(FeedbackChoice choice, const QString& likeCaption,
                        const QString& dislikeCaption, const QString& text);

// Whether the whole address matches
// ^[a-zA-Z0-9_.+-]+@[a-zA-Z0-9-]+\.[a-zA-Z0-9-.]*[a-zA-Z0-9]+$ (PCRE, case-sensitive).
bool IsValidEmail(const QString& Address);

// The feedback request's field lines; "email=" only with an address.
QStringList FeedbackFields(const QString& AppTitle, const QString& AppVersion,
                           const QString& feedback, const QString& email);

// Delivered: the reply's lines, joined and trimmed, are exactly "OK".
bool FeedbackDelivered(const std::optional<QString>& reply);

} // namespace zentaro::online
