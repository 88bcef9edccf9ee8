#pragma once

#include <QString>

#include <array>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace gateway {

// Longer Authorization headers are refused unread.
inline constexpr std::size_t kLongestAuthorization = 1024;

// The one user of the gateway's HTTP server and the crypt(3) hash of its
// password, from a file of one line "USER:HASH" (HASH as `openssl passwd
// -6` or `mkpasswd -m sha-512` make it: "$6$..."; "$y$..." yescrypt too)
// that is not readable by every user of the machine.
class HttpCredentials {
public:
    static std::optional<HttpCredentials> load(const QString &file, QString *error);
    // The file's line; nothing, with what is wrong, when it is no "USER:HASH"
    // of a hash crypt(3) takes.
    static std::optional<HttpCredentials> fromLine(const QString &line, QString *error);

    HttpCredentials(const HttpCredentials &other);

    // Whether an Authorization header's value ("Basic BASE64(USER:PASSWORD)")
    // names the user and its password. User and hash are compared in
    // constant time; the value last let in is remembered (as its SHA-256) so
    // that a scraper's or a page's every request costs no hashing of the
    // password. Thread-safe.
    bool admits(std::string_view authorization) const;

private:
    HttpCredentials(std::string user, std::string hash) : user_(std::move(user)), hash_(std::move(hash)) {}

    std::string user_;
    std::string hash_;
    mutable std::mutex mutex_;
    mutable std::optional<std::array<unsigned char, 32>> lastAdmitted_;
};

} // namespace gateway
