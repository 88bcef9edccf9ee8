#include "gateway/listener_settings.h"

#include "gateway/gateway_config.h"
#include "gateway/meter_list.h"

namespace gateway {

QString ListenerSettings::name() const
{
    return host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2").arg(host).arg(port)
                                           : QStringLiteral("%1:%2").arg(host).arg(port);
}

bool ListenerSettings::mayConnect(const QHostAddress &peer) const
{
    if (clients.empty())
        return true;
    // An IPv4 peer on a dual-stack socket arrives as ::ffff:a.b.c.d.
    bool mapped = false;
    const quint32 v4 = peer.toIPv4Address(&mapped);
    const QHostAddress plain = mapped ? QHostAddress(v4) : peer;
    for (const auto &[network, bits] : clients)
        if (plain.isInSubnet(network, bits))
            return true;
    return false;
}

QString writesWord(MasterWrites writes)
{
    switch (writes) {
    case MasterWrites::Allowed: return QStringLiteral("allow");
    case MasterWrites::RecordPointer: return QStringLiteral("lp");
    case MasterWrites::Refused: break;
    }
    return QStringLiteral("refuse");
}

std::optional<bool> applyListenerWord(const QString &key, const QString &value, ListenerSettings &settings, QString *error)
{
    if (key == QLatin1String("listen")) {
        QString why;
        const auto at = parseHostPort(value, false, &why);
        if (!at) {
            *error = QStringLiteral("listen: %1").arg(why);
            return false;
        }
        settings.host = at->host;
        settings.port = at->port.value_or(502);
        return true;
    }
    if (key == QLatin1String("writes")) {
        for (const MasterWrites w : {MasterWrites::Refused, MasterWrites::RecordPointer, MasterWrites::Allowed})
            if (value == writesWord(w)) {
                settings.writes = w;
                return true;
            }
        *error = QStringLiteral("writes must be allow, lp or refuse, not \"%1\"").arg(value);
        return false;
    }
    if (key == QLatin1String("clients")) {
        settings.clients.clear();
        for (const QString &part : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const auto subnet = QHostAddress::parseSubnet(part.contains(QLatin1Char('/'))
                                                              ? part
                                                              : part + (part.contains(QLatin1Char(':')) ? "/128" : "/32"));
            if (subnet.first.isNull()) {
                *error = QStringLiteral("clients: \"%1\" is no address or ADDR/BITS").arg(part);
                return false;
            }
            settings.clients.push_back(subnet);
        }
        if (settings.clients.empty()) {
            *error = QStringLiteral("clients needs at least one address");
            return false;
        }
        return true;
    }
    if (key == QLatin1String("masters")) {
        const auto n = parseNumber(value, kMasters.first, kMasters.second, QStringLiteral("masters"), error);
        settings.maxMasters = n.value_or(0);
        return n.has_value();
    }
    return std::nullopt;
}

} // namespace gateway
