#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace zentaro::platform {

// The whole contents of a regular file (links followed) that holds at most
// maxBytes bytes. Nothing when the path names anything else (a folder, FIFO,
// socket or device), cannot be opened or read, or holds more than maxBytes.
// Never waits for a writer and never reads more than maxBytes + 1 bytes, so a
// file of the wrong kind or size costs neither time nor memory.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes);

// Why ReadRegularFile gave nothing, for a caller that tells the user.
struct FileReadFailure {
    enum class Kind {
        None,       // it was read
        NotRegular, // a folder, FIFO, socket or device
        TooLarge,   // more than maxBytes
        System,     // the system refused; error holds its error code, numbered as
                    // the C library's errno (std::strerror names it)
    };
    Kind kind = Kind::None;
    int error = 0;
};
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes,
                                           FileReadFailure& why);

// Writes contents into a new file at path, never through what is there: a file,
// link, FIFO or socket of that name is removed first (a link goes, not what it
// leads to), then the file is created new only, without following a link, and
// written. False with the system's text for the failure in error (UTF-8); a folder of
// that name is not removed and makes it fail.
bool WriteNewFile(const std::string& path, const std::string& contents, std::string& error);

// The folder of the running program's executable file, without a trailing
// separator; empty if unknown. Needs no application object.
std::string ExecutableFolder();

} // namespace zentaro::platform
