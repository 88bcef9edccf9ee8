#pragma once

#include "links/meter_address.h"

#include <QHostAddress>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace gateway {

// What masters on a listener may write.
enum class MasterWrites {
    Refused,       // reads only (functions 3 and 4)
    RecordPointer, // and the load-profile record pointer, which a download moves
    Allowed,       // every write (functions 6 and 16)
};

// A Modbus TCP listener that shares a line with masters: a meters-file line
//   listen=HOST[:PORT] rtu=N|tcp=HOST[:PORT] [baud=B] [stop-bits=S]
//   [timeout=MS] [pause=MS] [attempts=N]
//   [writes=allow|lp] [clients=ADDR[/BITS],...] [masters=N]
struct ListenerSettings {
    int fileLine = 0;
    QString host;      // the address to listen on
    int port = 502;
    links::MeterAddress line; // the line it shares (its unit is unused)
    MasterWrites writes = MasterWrites::Refused;
    // Who may connect: an address and its prefix length; empty: anyone.
    std::vector<std::pair<QHostAddress, int>> clients;
    int maxMasters = 16;

    // "127.0.0.1:502".
    QString name() const;
    bool mayConnect(const QHostAddress &peer) const;
};

inline constexpr std::pair<int, int> kMasters{1, 256};

// Applies one word of a listener's line: listen, writes, clients, masters.
// False, with error, when the word does not fit; nothing when it is no
// listener word.
std::optional<bool> applyListenerWord(const QString &key, const QString &value, ListenerSettings &settings, QString *error);

// "allow", "lp" or "refuse" as the meters file writes it.
QString writesWord(MasterWrites writes);

} // namespace gateway
