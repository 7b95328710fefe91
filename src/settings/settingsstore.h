#pragma once

#include <QString>
#include <memory>

namespace zentaro::settings {

// The per-user store of named values in the section "Settings": QSettings in
// the system's own per-user format (on Linux ~/.config/KESTRIX/Zentaro.conf).
// Integers are kept as decimal text.
//
// A store that could not be opened reads every value as its default and drops
// every write. Not for use by two threads at once.
class SettingsStore {
public:
    // Opens the store, creating it when missing. file: an INI file to use
    // instead of the user's own store (tests).
    static std::unique_ptr<SettingsStore> Open(const QString& file = {});

    bool opened() const { return opened_; }

    // The default when the store is not open or the value is missing or unreadable.
    QString ReadString(const QString& name, const QString& defaultValue) const;
    // Also the default when the text is not a decimal number in the range of int.
    int ReadInteger(const QString& name, int defaultValue) const;
    // False when the value could not be written.
    bool WriteString(const QString& name, const QString& value);
    bool WriteInteger(const QString& name, int value);

private:
    explicit SettingsStore(QString file) : file_(std::move(file)) {}

    QString file_;
    bool opened_ = false;
};

// A whole decimal number: an optional sign and digits only, within the range of int.
bool ParseDecimal(const QString& text, int& value);

} // namespace zentaro::settings
