#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

// Which dictionary the chat's text fields are checked with. Languages are the
// engine's dictionary names: "en-US", "de-DE", or a language alone ("fr").

// The owner's choice when the program has that dictionary (an empty choice is
// "Off": no checking); without one, the system's language: its own region
// first, then the same language in any region, then English (US). Empty when
// none of them is there.
QString spellingLanguageFor(const std::optional<QString> &choice, const QLocale &system,
                            const QStringList &available);

// The language as a person reads it: "English (United States)", "French".
QString spellingLanguageName(const QString &language);
