#include "platform/restart.h"

namespace zentaro::platform {

std::optional<std::string> WindowsRestartBatch(const std::string& executable,
                                               int windowsMajorVersion) {
    std::string quoted = "\"";
    for (const char c : executable) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || byte < 0x20 || byte == 0x7F)
            return std::nullopt;
        quoted += c;
        if (c == '%')
            quoted += '%';
    }
    quoted += '"';

    std::string batch = "@ECHO OFF\r\n"
                        "ECHO This file was created automatically to restart the program.\r\n"
                        "ECHO It is safe to delete this file.\r\n";
    if (windowsMajorVersion >= 6)
        batch += "timeout 1\r\n";
    batch += quoted + "\r\n";
    return batch;
}

std::string PosixRestartScript(const std::string& executable) {
    // Inside single quotes every byte is literal; a single quote itself ends the
    // quoting, is written escaped, and the quoting starts again. A relative path is
    // anchored so that it can never read as an option.
    std::string quoted = "'";
    if (executable.empty() || executable.front() != '/')
        quoted += "./";
    for (const char c : executable) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';

    return "#!/bin/sh\n"
           "# This file was created automatically to restart the program.\n"
           "# It is safe to delete this file.\n"
           "sleep 1\n"
           "exec " +
           quoted + "\n";
}

} // namespace zentaro::platform
