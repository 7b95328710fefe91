#include "app/shellrules.h"

#include "platform/textfold.h"
#include "share/sharelinks.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace zentaro::app {

std::string HelpAddress(std::string_view serverHost, std::string_view productName) {
    return "http://" + std::string(serverHost) + "/help/" + share::ProductSlug(productName) + "/";
}

int TestLengthFromText(std::string_view text) {
    text = platform::TrimAscii(text, " \t");
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return kMinTestLength;
    // Digits only; a number too long for any integer is still a large number.
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return kMinTestLength;
        if (value <= static_cast<std::uint64_t>(kMaxTestLength))
            value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (negative || value < kMinTestLength)
        return kMinTestLength;
    if (value > static_cast<std::uint64_t>(kMaxTestLength))
        return kMaxTestLength;
    return static_cast<int>(value);
}

int ScaleDimension(int x, int screenDpi, int formDpi) {
    if (formDpi == 0)
        return x;
    const double scaled = static_cast<double>(x) * screenDpi / formDpi;
    return static_cast<int>(std::lround(scaled));
}

int ShrinkToFit(int pointSize, int maxWidth, const std::function<int(int pointSize)>& widthAt,
                int minPoints) {
    int steps = 0;
    while (widthAt(pointSize) > maxWidth && pointSize > std::max(1, minPoints) && steps < 10'000) {
        --pointSize;
        ++steps;
    }
    return pointSize;
}

std::string ChooseDataFolder(const std::string& programFolder, const platform::DataFolders& folders,
                             const std::string& company, const std::string& product) {
    const char separator = folders.Separator();
    auto withSeparator = [separator](std::string path) {
        if (path.empty() || path.back() != separator)
            path += separator;
        return path;
    };
    // An installed copy (a system folder) keeps its files with the user even
    // when it could write beside itself, as root can.
    if (!folders.IsSystemFolder(programFolder) && folders.IsFolderWritable(programFolder))
        return withSeparator(programFolder);
    const std::string base = folders.RoamingAppDataFolder();
    const std::string companyFolder = base + separator + company;
    const std::string productFolder = companyFolder + separator + product;
    // Without a base the path would start at the root of the file system;
    // nothing is created there.
    if (!base.empty()) {
        folders.CreateFolder(companyFolder);
        folders.CreateFolder(productFolder);
    }
    return productFolder + separator;
}

} // namespace zentaro::app
