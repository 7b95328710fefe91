// Prints the version information of an executable as the program reads it:
// the twelve strings, then the numeric file version, one "Name=Value" line
// each. Built for Linux and for Windows, to hold the identity the two builds
// carry side by side.
//
//   version_strings FILE
#include "about/versioninfo.h"
#include "platform/commandline.h"
#include "platform/versionresource.h"

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> args = zentaro::platform::CommandLineArguments(argc, argv);
    if (args.size() != 1) {
        std::cerr << "usage: version_strings FILE\n";
        return 2;
    }
    const std::string& file = args[0];
    const auto resources = zentaro::platform::CreateVersionResource();
    try {
        const zentaro::TEXEVersionData d = zentaro::ReadExeVersionData(*resources, file);
        for (const auto& [name, field] : zentaro::kVersionStringFields)
            std::cout << name << "=" << d.*field << "\n";
    } catch (const std::exception& e) {
        std::cout << "error=" << e.what() << "\n";
        return 1;
    }
    const std::uint32_t version = zentaro::ReadExeFileVersion(*resources, file);
    std::cout << "AppVersion=" << zentaro::FormatAppVersion(version) << "\n";
    return 0;
}
