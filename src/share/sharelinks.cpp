#include "share/sharelinks.h"

#include <QByteArray>

namespace zentaro::share {

std::string ProductSlug(std::string_view productName) {
    std::string slug;
    slug.reserve(productName.size());
    for (const char c : productName) {
        if (c == ' ')
            slug += '-';
        else if (c >= 'A' && c <= 'Z')
            slug += static_cast<char>(c - 'A' + 'a');
        else
            slug += c;
    }
    return slug;
}

std::string ProductPageAddress(std::string_view serverHost, std::string_view productName) {
    return "https://" + std::string(serverHost) + "/software/" + ProductSlug(productName) + "/";
}

std::string EncodeQueryComponent(std::string_view utf8) {
    // Letters, digits and "-._" stay, and so do "!$'()*@"; "~" is escaped;
    // a space becomes "+".
    const QByteArray bytes(utf8.data(), static_cast<qsizetype>(utf8.size()));
    return bytes.toPercentEncoding(" !$'()*@", "~").replace(' ', '+').toStdString();
}

std::string ShareSentence(bool singleCoreEnabled, std::string_view singleCoreText,
                          std::string_view multiCoreText) {
    return "I've just run a CPU test on my computer: " +
           std::string(singleCoreEnabled ? singleCoreText : multiCoreText);
}

std::string XShareAddress(std::string_view xHost, std::string_view pageAddress,
                          std::string_view sentence) {
    return "https://" + std::string(xHost) + "/share/?url=" + EncodeQueryComponent(pageAddress) +
           "&text=" + EncodeQueryComponent(sentence) + "&via=kestrix";
}

std::string FacebookShareAddress(std::string_view facebookHost, std::string_view pageAddress) {
    return "https://" + std::string(facebookHost) +
           "/sharer.php?u=" + EncodeQueryComponent(pageAddress);
}

} // namespace zentaro::share
