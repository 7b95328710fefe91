#pragma once

#include <string>
#include <string_view>

namespace zentaro::share {

// The product's name as the maker's web addresses spell it: A to Z lowered,
// every space a hyphen, everything else kept as it is ("Alpha Beta" ->
// "alpha-beta").
std::string ProductSlug(std::string_view productName);

// "https://<host>/software/<slug>/"
std::string ProductPageAddress(std::string_view serverHost, std::string_view productName);

// A value for a query component: letters, digits and ! $ ' ( ) * - . @ _ stay,
// a space becomes "+", every other byte (of the UTF-8 text) becomes "%XX" with
// upper-case hexadecimal digits.
std::string EncodeQueryComponent(std::string_view utf8);

// "I've just run a CPU test on my computer: " and the single-core result when
// that label is enabled, else the multi-core one.
std::string ShareSentence(bool singleCoreEnabled, std::string_view singleCoreText,
                          std::string_view multiCoreText);

// The share pages' addresses, keys in this order: url, text, via; u.
std::string XShareAddress(std::string_view xHost, std::string_view pageAddress,
                          std::string_view sentence);
std::string FacebookShareAddress(std::string_view facebookHost, std::string_view pageAddress);

} // namespace zentaro::share
