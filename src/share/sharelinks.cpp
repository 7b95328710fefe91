#include "share/sharelinks.h"

namespace zentaro::share {

namespace {

bool KeptAsIs(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    case '!':
    case '$':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '-':
    case '.':
    case '@':
    case '_':
        return true;
    default:
        return false;
    }
}

} // namespace

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
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(utf8.size() * 3);
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (KeptAsIs(c)) {
            out += ch;
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
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
