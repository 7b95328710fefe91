#include "settings/settingsstore.h"

#include "platform/files.h"
#include "platform/settingslocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace zentaro::settings {

namespace {

const QString kSection = QStringLiteral("Settings/");
const char* const kOrganisation = "KESTRIX";
const char* const kApplication = "Zentaro";

std::unique_ptr<QSettings> Registry() {
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QString::fromLatin1(kOrganisation),
                                                QString::fromLatin1(kApplication));
    // The user's own values only, not the system-wide defaults Qt would add.
    settings->setFallbacksEnabled(false);
    return settings;
}

// A line as QSettings writes them; anything else would be lost when the file is
// written again, so a file holding one is taken for another program's.
bool IsSettingsLine(QByteArray line) {
    line = line.trimmed();
    return line.isEmpty() || (line.startsWith('[') && line.endsWith(']')) || line.contains('=');
}

// The lines that carry something, each key with the section it stands in, in an
// order of their own: Qt sorts sections and keys, and blank lines, line ends and a
// last line without one carry nothing.
QList<QByteArray> MeaningfulLines(const QByteArray& content) {
    QList<QByteArray> lines;
    QByteArray section;
    for (QByteArray line : content.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (line.startsWith('[')) {
            section = line;
            lines.append(section);
        } else {
            lines.append(section + '\n' + line);
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Qt's own reading and writing of the format, on a private copy of the contents:
// QSettings never touches the real file, which is only read and replaced here.
class Scratch {
public:
    explicit Scratch(const QByteArray& content) {
        if (!dir_.isValid())
            return;
        QFile copy(dir_.filePath(QStringLiteral("Zentaro.conf")));
        if (!copy.open(QIODevice::WriteOnly) || copy.write(content) != content.size())
            return;
        copy.close();
        settings_ = std::make_unique<QSettings>(copy.fileName(), QSettings::IniFormat);
        settings_->setFallbacksEnabled(false);
        if (settings_->status() != QSettings::NoError) {
            settings_.reset();
            unreadable_ = true;
        }
    }
    // Qt could not read the copy as settings (rather than there being no copy).
    bool unreadable() const { return unreadable_; }
    QSettings* settings() const { return settings_.get(); }
    std::optional<QByteArray> Contents() {
        settings_->sync();
        if (settings_->status() != QSettings::NoError)
            return std::nullopt;
        QFile copy(settings_->fileName());
        if (!copy.open(QIODevice::ReadOnly))
            return std::nullopt;
        return copy.readAll();
    }
    // Whether Qt writes the contents back with every line as it was: a comment, a
    // quoted value, a key outside any section would come back as something else.
    bool WrittenBackAsItWas(const QByteArray& content) {
        // A value set and then removed makes Qt write the whole file, twice.
        const QString probe = QStringLiteral("zentaro-round-trip");
        settings_->setValue(probe, 1);
        if (!Contents())
            return false;
        settings_->remove(probe);
        const std::optional<QByteArray> written = Contents();
        return written && MeaningfulLines(*written) == MeaningfulLines(content);
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<QSettings> settings_;
    bool unreadable_ = false;
};

// What a name holds, as far as a regular file of at most kMaxFileBytes: its
// contents, empty when there is nothing; nothing (with the reason) when the name
// holds something else. Never waits on what it finds, nor reads much of it.
std::optional<QByteArray> ReadIfRegular(const QString& file, QString& reason) {
    const QFileInfo info(file);
    if (!info.exists()) {
        if (!info.isSymLink())
            return QByteArray();
        reason = QStringLiteral("is a link that leads nowhere");
        return std::nullopt;
    }
    platform::FileReadFailure why;
    const std::optional<std::string> content = platform::ReadRegularFile(
        file.toStdString(), std::size_t(SettingsStore::kMaxFileBytes), why);
    if (!content) {
        switch (why.kind) {
        case platform::FileReadFailure::Kind::NotRegular:
            reason = QStringLiteral("is not a regular file");
            break;
        case platform::FileReadFailure::Kind::TooLarge:
            reason =
                QStringLiteral("is larger than %1 KiB").arg(SettingsStore::kMaxFileBytes / 1024);
            break;
        default:
            reason = QStringLiteral("cannot be read: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(why.error)));
        }
        return std::nullopt;
    }
    return QByteArray::fromStdString(*content);
}

// The settings file in Qt's hands, on a private copy (empty when there is no
// file): nothing, with the reason, when the name holds something the store must
// not use, read or rewrite. verified: contents known to come back as they were,
// kept so that the round trip, two writes to the disk, is made once per contents.
std::unique_ptr<Scratch> Load(const QString& file, QString& reason,
                              std::optional<QByteArray>& verified) {
    const std::optional<QByteArray> bytes = ReadIfRegular(file, reason);
    if (!bytes)
        return nullptr;
    for (const QByteArray& line : bytes->split('\n')) {
        if (!IsSettingsLine(line)) {
            reason = QStringLiteral("holds lines that are not settings");
            return nullptr;
        }
    }
    auto scratch = std::make_unique<Scratch>(*bytes);
    if (!scratch->settings()) {
        reason = scratch->unreadable()
                     ? QStringLiteral("holds lines that are not settings")
                     : QStringLiteral("cannot be read: there is no room for a private copy");
        return nullptr;
    }
    if (!bytes->isEmpty() && bytes != verified) {
        if (!scratch->WrittenBackAsItWas(*bytes)) {
            reason = QStringLiteral("holds lines this program would not write back as they are");
            return nullptr;
        }
        verified = bytes;
    }
    return scratch;
}

QString Quoted(const QString& file) {
    return QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(file));
}

} // namespace

std::unique_ptr<SettingsStore> SettingsStore::Open(const QString& file) {
    std::unique_ptr<SettingsStore> store(new SettingsStore());
    store->file_ = file;
    if (file.isEmpty()) {
        // Only the place is asked for: a native QSettings would read the file
        // as it is made, before anything here has looked at what the name holds.
        const platform::SettingsLocation place =
            platform::UserSettingsLocation(kOrganisation, kApplication);
        if (place.registry) {
            store->registry_ = true;
            const auto native = Registry();
            // isWritable() creates the key, as opening the store should.
            store->opened_ = native->status() == QSettings::NoError && native->isWritable();
            if (!store->opened_) {
                store->refused_ = true;
                store->reason_ = QStringLiteral("The settings cannot be opened.");
            }
            return store;
        }
        store->file_ = QString::fromStdString(place.file);
    }

    QString why;
    if (!Load(store->file_, why, store->verified_)) {
        store->refused_ = true;
        store->reason_ = QStringLiteral("The settings file %1 %2; it is left as it is.")
                             .arg(Quoted(store->file_), why);
        return store;
    }
    // What gets replaced: the file itself, or the regular file a link leads to.
    const QFileInfo target(QFileInfo(store->file_).canonicalFilePath().isEmpty()
                               ? store->file_
                               : QFileInfo(store->file_).canonicalFilePath());
    const QString folder = target.absolutePath();
    if (!QDir().mkpath(folder)) {
        store->reason_ = QStringLiteral("The folder %1 cannot be created.").arg(Quoted(folder));
        return store;
    }
    if (!QFileInfo(folder).isWritable() || (target.exists() && !target.isWritable())) {
        store->refused_ = target.exists();
        store->reason_ =
            QStringLiteral("The settings file %1 cannot be written.").arg(Quoted(store->file_));
        return store;
    }
    store->opened_ = true;
    return store;
}

QString SettingsStore::lockFileName() const {
    if (registry_)
        return QDir::temp().filePath(QStringLiteral("KESTRIX-Zentaro.lock"));
    return file_ + QStringLiteral(".lock");
}

bool SettingsStore::lockFileUsable() const {
    QString why;
    return ReadIfRegular(lockFileName(), why).has_value();
}

QString SettingsStore::ReadString(const QString& name, const QString& defaultValue) const {
    if (!opened_)
        return defaultValue;
    QVariant value;
    if (registry_) {
        const auto settings = Registry();
        value = settings->value(kSection + name);
        if (settings->status() != QSettings::NoError)
            return defaultValue;
    } else {
        // Read afresh: another copy of the program may have written since.
        QString why;
        const std::unique_ptr<Scratch> scratch = Load(file_, why, verified_);
        if (!scratch)
            return defaultValue;
        value = scratch->settings()->value(kSection + name);
    }
    if (value.typeId() != QMetaType::QString)
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
    if (registry_) {
        const auto settings = Registry();
        settings->setValue(kSection + name, value);
        settings->sync();
        return settings->status() == QSettings::NoError;
    }
    // The file as it is now, so that what others wrote meanwhile stays.
    QString why;
    const std::unique_ptr<Scratch> scratch = Load(file_, why, verified_);
    if (!scratch) {
        reason_ =
            QStringLiteral("The settings file %1 %2; it is left as it is.").arg(Quoted(file_), why);
        return false;
    }
    scratch->settings()->setValue(kSection + name, value);
    const std::optional<QByteArray> updated = scratch->Contents();
    if (!updated) {
        reason_ = QStringLiteral("The settings file %1 cannot be written.").arg(Quoted(file_));
        return false;
    }
    // A link to a regular file (Load saw to that) stays; the file it leads to is
    // replaced, by a new file in its own folder renamed over it.
    const QString canonical = QFileInfo(file_).canonicalFilePath();
    QSaveFile out(canonical.isEmpty() ? file_ : canonical);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly) || out.write(*updated) != updated->size() ||
        !out.commit()) {
        reason_ = QStringLiteral("The settings file %1 cannot be written: %2")
                      .arg(Quoted(file_), out.errorString());
        return false;
    }
    verified_ = *updated; // as Qt writes it
    return true;
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
