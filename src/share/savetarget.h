#pragma once

#include <QString>

namespace zentaro::share {

// What a chosen file name holds, as the save sees it. The rule is the settings
// file's: a regular file, a link to one, or nothing; anything else (a folder,
// FIFO, device, socket, a link that leads nowhere) is left alone, never
// replaced by a file of ours and never opened.
struct SaveTarget {
    enum class Kind {
        New,      // nothing of that name yet
        Existing, // a regular file, or a link to one: replacing it needs a yes
        Refused,  // something else; reason says what
    };
    Kind kind = Kind::New;
    // What is written: the name itself, or for a link the file it leads to (the
    // link stays).
    QString file;
    // For Refused, a sentence that fits after the file's name is given.
    QString reason;
};

SaveTarget ExamineSaveTarget(const QString& path);

} // namespace zentaro::share
