#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

namespace zentaro::settings {

// The per-user store of named values in the section "Settings": QSettings in
// the system's own per-user format (on Linux ~/.config/KESTRIX/Zentaro.conf,
// in the registry on Windows). Integers are kept as decimal text.
//
// A settings file is used only when it is a regular file (or a link to one) of
// at most kMaxFileBytes whose every line is blank, a [section] or holds a "=",
// and which Qt writes back with every such line as it was (in its own order):
// a FIFO, device, folder, link to nothing, larger file or a file of some other
// kind (comments, quoted values, keys outside a section) leaves the store
// unopened, with the reason kept, and is never written.
// The file is read afresh for every value and replaced as a whole for every
// write (a new file beside it, renamed over it), so that other copies of the
// program see each other's writes; a link to a regular file stays a link and
// the file it leads to is replaced.
//
// A store that could not be opened reads every value as its default and drops
// every write. Not for use by two threads at once.
class SettingsStore {
public:
    // Opens the store, creating it when missing. file: an INI file to use
    // instead of the user's own store (tests).
    static std::unique_ptr<SettingsStore> Open(const QString& file = {});

    // Settings files larger than this are not the program's own.
    static constexpr qint64 kMaxFileBytes = qint64{64} * 1024;

    bool opened() const { return opened_; }
    // Not opened although settings are there: a file the store must not use or
    // cannot read or replace, a registry key it cannot open. They may hold the
    // user's choices, which must not be overridden by defaults. False when there
    // are simply no settings yet.
    bool refused() const { return refused_; }
    // Why the store is not open, or why the last write failed; empty when neither.
    const QString& reason() const { return reason_; }
    // The settings file as named (a link stays a link); empty for the registry.
    const QString& fileName() const { return file_; }
    // The lock file that copies of the program share to change values together.
    QString lockFileName() const;
    // Whether the lock file's name holds nothing or what the settings file may be:
    // a regular file (or a link to one) of at most kMaxFileBytes. Anything else, a
    // FIFO above all, must not be handed to a lock, which would wait on it.
    bool lockFileUsable() const;

    // The default when the store is not open or the value is missing or unreadable.
    QString ReadString(const QString& name, const QString& defaultValue) const;
    // Also the default when the text is not a decimal number in the range of int.
    int ReadInteger(const QString& name, int defaultValue) const;
    // False when the value could not be written.
    bool WriteString(const QString& name, const QString& value);
    bool WriteInteger(const QString& name, int value);

private:
    SettingsStore() = default;

    QString file_;
    bool registry_ = false;
    bool opened_ = false;
    bool refused_ = false;
    // The file's last contents known to come back from Qt as they were.
    mutable std::optional<QByteArray> verified_;
    QString reason_;
};

// A whole decimal number: an optional sign and digits only, within the range of int.
bool ParseDecimal(const QString& text, int& value);

} // namespace zentaro::settings
