#pragma once

#include "fault_rules.h"
#include "meter_config.h"
#include "register_assignment.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

namespace metersim {

struct Options {
    MeterConfig meter;
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
