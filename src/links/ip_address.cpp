#include "links/ip_address.h"

#include <QRegularExpression>

namespace links {

bool isIpAddressText(const QString &text)
{
    // Anchored at both ends of the whole text: a plain "$" would also match
    // before a final line break.
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("(?:[0-9]{1,3}\\.){3}[0-9]{1,3}")));
    return pattern.match(text).hasMatch();
}

} // namespace links
