#include "gateway/http_credentials.h"

#include "gateway/secret_file.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <openssl/crypto.h>

#include <crypt.h>

#include <cstring>
#include <memory>

namespace gateway {

namespace {

constexpr qint64 kLargestFile = 4 * 1024;

std::array<unsigned char, 32> sha256(std::string_view bytes)
{
    const QByteArray digest = QCryptographicHash::hash(QByteArrayView(bytes.data(), qsizetype(bytes.size())),
                                                       QCryptographicHash::Sha256);
    std::array<unsigned char, 32> out{};
    std::memcpy(out.data(), digest.constData(), out.size());
    return out;
}

bool sameDigest(const std::array<unsigned char, 32> &a, const std::array<unsigned char, 32> &b)
{
    return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

// crypt(3) of password with hash as its setting; empty when it fails.
std::string hashed(const std::string &password, const std::string &hash)
{
    auto data = std::make_unique<crypt_data>(); // large for a stack
    const char *out = ::crypt_r(password.c_str(), hash.c_str(), data.get());
    // A failure gives nothing or a text starting with "*".
    return out && out[0] != '*' ? std::string(out) : std::string();
}

} // namespace

HttpCredentials::HttpCredentials(const HttpCredentials &other) : user_(other.user_), hash_(other.hash_) {}

std::optional<HttpCredentials> HttpCredentials::load(const QString &file, QString *error)
{
    const auto bytes = readSecretFile(file, kLargestFile, error);
    if (!bytes)
        return std::nullopt;
    QString line = QString::fromUtf8(*bytes).section(QLatin1Char('\n'), 0, 0);
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    QString why;
    auto credentials = fromLine(line, &why);
    if (!credentials)
        *error = QStringLiteral("%1: %2").arg(file, why);
    return credentials;
}

std::optional<HttpCredentials> HttpCredentials::fromLine(const QString &line, QString *error)
{
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    const std::string user = line.left(colon).toStdString();
    const std::string hash = line.mid(colon + 1).trimmed().toStdString();
    if (colon <= 0) {
        *error = QStringLiteral("the first line must be USER:HASH");
        return std::nullopt;
    }
    // The hash's own setting gives it back when crypt(3) knows its method.
    const bool known = hash.starts_with("$6$") || hash.starts_with("$y$");
    const std::string again = known ? hashed(std::string(), hash) : std::string();
    if (again.empty() || again.size() != hash.size()) {
        *error = QStringLiteral("the hash must be a crypt(3) hash \"$6$...\" (openssl passwd -6, "
                                "mkpasswd -m sha-512) or \"$y$...\"");
        return std::nullopt;
    }
    return HttpCredentials(user, hash);
}

bool HttpCredentials::admits(std::string_view authorization) const
{
    constexpr std::string_view scheme = "Basic ";
    if (authorization.size() > kLongestAuthorization || authorization.size() <= scheme.size()
        || QByteArrayView(authorization.data(), qsizetype(scheme.size())).compare(
               QByteArrayView(scheme.data(), qsizetype(scheme.size())), Qt::CaseInsensitive) != 0)
        return false;
    const auto digest = sha256(authorization);
    {
        const std::lock_guard lock(mutex_);
        if (lastAdmitted_ && sameDigest(*lastAdmitted_, digest))
            return true;
    }
    const auto decoded = QByteArray::fromBase64Encoding(
        QByteArray(authorization.data() + scheme.size(), qsizetype(authorization.size() - scheme.size())).trimmed(),
        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    const qsizetype colon = decoded.decoded.indexOf(':');
    if (colon < 0)
        return false;
    const std::string user = decoded.decoded.left(colon).toStdString();
    const std::string password = decoded.decoded.mid(colon + 1).toStdString();
    // Both compared whatever the other gives, so that the time tells nothing.
    const std::string given = hashed(password, hash_);
    const bool userMatches = sameDigest(sha256(user), sha256(user_));
    const bool passwordMatches = sameDigest(sha256(given), sha256(hash_));
    if (!userMatches || !passwordMatches)
        return false;
    const std::lock_guard lock(mutex_);
    lastAdmitted_ = digest;
    return true;
}

} // namespace gateway
