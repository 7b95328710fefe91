#include "settings/settingsstore.h"

#include <QSettings>
#include <limits>

namespace zentaro::settings {

namespace {

const QString kSection = QStringLiteral("Settings/");

// A QSettings for one access. Qt keeps the parsed file between them, so each
// access costs a look at the file's time stamp, and nothing is tied to the
// thread that opened the store.
std::unique_ptr<QSettings> Settings(const QString& file) {
    std::unique_ptr<QSettings> settings =
        file.isEmpty()
            ? std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                          QStringLiteral("KESTRIX"), QStringLiteral("Zentaro"))
            : std::make_unique<QSettings>(file, QSettings::IniFormat);
    // The user's own values only, not the system-wide defaults Qt would add.
    settings->setFallbacksEnabled(false);
    return settings;
}

} // namespace

std::unique_ptr<SettingsStore> SettingsStore::Open(const QString& file) {
    std::unique_ptr<SettingsStore> store(new SettingsStore(file));
    const auto settings = Settings(file);
    // isWritable() creates the folders on the way, as opening the store should.
    store->opened_ = settings->status() == QSettings::NoError && settings->isWritable();
    return store;
}

QString SettingsStore::ReadString(const QString& name, const QString& defaultValue) const {
    if (!opened_)
        return defaultValue;
    const auto settings = Settings(file_);
    const QVariant value = settings->value(kSection + name);
    if (settings->status() != QSettings::NoError || value.typeId() != QMetaType::QString)
        return defaultValue;
    return value.toString();
}

int SettingsStore::ReadInteger(const QString& name, int defaultValue) const {
    int value = 0;
    return ParseDecimal(ReadString(name, QString()), value) ? value : defaultValue;
}

bool SettingsStore::WriteString(const QString& name, const QString& value) {
    if (!opened_)
        return false;
    const auto settings = Settings(file_);
    settings->setValue(kSection + name, value);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

bool SettingsStore::WriteInteger(const QString& name, int value) {
    return WriteString(name, QString::number(value));
}

bool ParseDecimal(const QString& text, int& value) {
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text[0] == u'-';
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-'))
        ++i;
    if (i == text.size())
        return false;
    long long magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
        magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        if (magnitude > 1LL + std::numeric_limits<int>::max())
            return false;
    }
    const long long signed_ = negative ? -magnitude : magnitude;
    if (signed_ < std::numeric_limits<int>::min() || signed_ > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(signed_);
    return true;
}

} // namespace zentaro::settings
