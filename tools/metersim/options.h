#pragma once

#include "fault_rules.h"
#include "meter_config.h"
#include "register_assignment.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace metersim {

struct Options {
    MeterConfig meter;            // the first meter; the others follow from it (unit_configs.h)
    QList<quint8> units;          // the unit addresses served on the line, at least one
    QList<QByteArray> serials;    // one per unit, or none: derived from the unit
    std::optional<quint64> noiseSeed; // nothing: a random one
    bool tcp = true;
    QHostAddress tcpAddress = QHostAddress::LocalHost;
    quint16 tcpPort = 502;
    bool pty = false;
    QString ptyLink;
    int baud = 0; // 0: no wire-time emulation
    QString writeLogPath;
    QList<FaultRule> faults;
    QList<RegisterAssignment> assignments; // applied in order, after the defaults
};

enum class ParseOutcome { Run, Help, Error };

// Reads the command line (arguments[0] is the program). On Help, *message is
// the help text; on Error, the reason.
ParseOutcome parseOptions(const QStringList &arguments, Options &options, QString *message);

} // namespace metersim
