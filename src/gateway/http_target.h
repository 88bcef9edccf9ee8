#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

// A request's target (its path and query as the peer sent them, still
// percent-encoded) checked and taken apart before any route sees it.
namespace gateway {

// Longer targets get 414.
inline constexpr std::size_t kLongestTarget = 2048;
// More keys in a query get 400.
inline constexpr std::size_t kMostQueryKeys = 32;

struct HttpTarget {
    unsigned status = 0; // 0: fit to route; else 400 or 414
    std::string why;     // what is wrong, for the peer
    std::string path;    // decoded
    std::map<std::string, std::string> query; // decoded, "+" a blank
};

// The target taken apart. Refused (400): a path that does not start with
// "/", holds an encoded "/" or "\" (%2F, %5C), a "\", a "." or ".."
// segment (encoded too), a bad %-escape, NUL or another control byte or
// bytes that are no UTF-8 once decoded; a query with such a key or value,
// a key given twice, or more than kMostQueryKeys keys. A target longer
// than kLongestTarget gets 414.
HttpTarget parseTarget(std::string_view raw);

// Whether bytes are UTF-8 (no overlong forms, no surrogates).
bool isUtf8(std::string_view bytes);

} // namespace gateway
