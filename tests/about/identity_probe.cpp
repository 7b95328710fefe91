// A program with a version block of its own for the identity tests. It waits
// for a line on its input, so that the test can delete or replace its file
// first, then prints the identity read from its running image and whether its
// file is still readable by name.
#include "about/versioninfo.h"
#include "platform/versionresource.h"

#include <exception>
#include <iostream>
#include <string>

int main() {
    std::string line;
    std::getline(std::cin, line);
    namespace platform = zentaro::platform;
    const auto resources = platform::CreateVersionResource();
    try {
        const zentaro::AppIdentity id =
            zentaro::ReadAppIdentity(*resources, platform::RunningExecutableImage());
        std::cout << id.AppTitle << "\n" << id.AppVersion << "\n";
    } catch (const std::exception& e) {
        std::cout << "error: " << e.what() << "\n";
        return 1;
    }
    try {
        zentaro::ReadAppIdentity(*resources, platform::CurrentExecutablePath());
        std::cout << "by name: readable\n";
    } catch (const zentaro::OSError&) {
        std::cout << "by name: error\n";
    }
    return 0;
}
