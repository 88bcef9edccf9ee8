#include "gateway/http_target.h"

#include <algorithm>
#include <optional>

namespace gateway {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// text with its %-escapes (and, in a query, "+") decoded; nothing when an
// escape is bad or the result holds a control byte or is no UTF-8.
std::optional<std::string> decode(std::string_view text, bool plusIsBlank)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int high = hexValue(text[i + 1]), low = hexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            c = char(high * 16 + low);
            i += 2;
        } else if (c == '+' && plusIsBlank) {
            c = ' ';
        }
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            return std::nullopt;
        out += c;
    }
    if (!isUtf8(out))
        return std::nullopt;
    return out;
}

bool hasEncodedSeparator(std::string_view path)
{
    for (std::size_t i = 0; i + 2 < path.size(); ++i)
        if (path[i] == '%' && path[i + 1] == '2' && (path[i + 2] == 'f' || path[i + 2] == 'F'))
            return true;
        else if (path[i] == '%' && path[i + 1] == '5' && (path[i + 2] == 'c' || path[i + 2] == 'C'))
            return true;
    return false;
}

bool hasDotSegment(std::string_view path)
{
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view segment = path.substr(start, end - start);
        if (segment == "." || segment == "..")
            return true;
        start = end + 1;
    }
    return false;
}

HttpTarget refused(const char *why) { return {400, why, {}, {}}; }

} // namespace

bool isUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        std::size_t more = 0;
        char32_t code = 0, least = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xe0) == 0xc0) {
            more = 1, code = b & 0x1f, least = 0x80;
        } else if ((b & 0xf0) == 0xe0) {
            more = 2, code = b & 0x0f, least = 0x800;
        } else if ((b & 0xf8) == 0xf0) {
            more = 3, code = b & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (bytes.size() - i <= more)
            return false;
        for (std::size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3f);
        }
        if (code < least || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return false;
        i += more + 1;
    }
    return true;
}

HttpTarget parseTarget(std::string_view raw)
{
    if (raw.size() > kLongestTarget)
        return {414, "the address is too long", {}, {}};
    const std::size_t mark = raw.find('?');
    const std::string_view rawPath = raw.substr(0, mark);
    if (rawPath.empty() || rawPath.front() != '/')
        return refused("the path must start with /");
    if (rawPath.find('\\') != std::string_view::npos || hasEncodedSeparator(rawPath))
        return refused("the path holds an encoded / or a \\");
    HttpTarget target;
    const auto path = decode(rawPath, false);
    if (!path)
        return refused("the path holds a bad escape, a control character or no UTF-8");
    if (hasDotSegment(*path))
        return refused("the path holds a . or .. segment");
    target.path = *path;
    if (mark == std::string_view::npos)
        return target;
    std::string_view query = raw.substr(mark + 1);
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty())
            continue;
        const std::size_t equals = pair.find('=');
        const auto key = decode(pair.substr(0, equals), true);
        const auto value = decode(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1), true);
        if (!key || !value || key->empty())
            return refused("the query holds a bad escape, a control character or no UTF-8");
        if (target.query.size() == kMostQueryKeys)
            return refused("the query holds too many keys");
        if (!target.query.emplace(*key, *value).second)
            return refused("the query gives a key twice");
    }
    return target;
}

} // namespace gateway
