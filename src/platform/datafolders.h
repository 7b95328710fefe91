#pragma once

#include <memory>
#include <string>

namespace zentaro::platform {

// Where the program may keep files of its own.
class DataFolders {
public:
    virtual ~DataFolders() = default;

    // The separator between the parts of a path on this system.
    virtual char Separator() const = 0;
    // The current user's roaming application-data folder, without a trailing
    // separator; empty when it cannot be determined.
    virtual std::string RoamingAppDataFolder() const = 0;
    // Whether a new file can be created in folder: a file "chk.tmp" is created
    // there, new only (an existing one makes the answer no), and removed at once.
    virtual bool IsFolderWritable(const std::string& folder) const = 0;
    // Whether folder belongs to the system rather than to a program installed in
    // a folder of its own: on Linux a folder under /usr (or /bin, /sbin, /lib*),
    // where the package manager installs, or one the effective user does not own.
    // The program never keeps its files in such a folder, even when it could
    // (as root). Never so on Windows, whose program folders a user cannot write.
    virtual bool IsSystemFolder(const std::string& folder) const = 0;
    // Creates one folder. False when it could not, also when it exists already.
    virtual bool CreateFolder(const std::string& path) const = 0;
};

// systemRoot: where the system's own folders are looked for, "/" but in tests;
// no difference on Windows.
std::unique_ptr<DataFolders> CreateDataFolders(const std::string& systemRoot = "/");

} // namespace zentaro::platform
