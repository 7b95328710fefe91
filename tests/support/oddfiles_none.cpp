// A system without FIFOs, links to devices or the symbolic links QFile::link
// makes elsewhere (Windows): the rows that need one are skipped, with the reason.
#include "support/oddfiles.h"

namespace zentaro::testing {

const char* SpecialFilesMissing() {
    return "no FIFOs or device files in this system's file system";
}

const char* SymbolicLinksMissing() {
    return "QFile::link makes a shell shortcut here, not a symbolic link";
}

bool MakeFifo(const QString&) {
    return false;
}

bool MakeDeviceLink(const QString&, const QString&) {
    return false;
}

QString ExpendableNullDevice() {
    return QString();
}

void ReleaseFifos(const QStringList&) {}

void DrainFifos(const QStringList&) {}

} // namespace zentaro::testing
