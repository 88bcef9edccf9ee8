#pragma once

#include "fault_rules.h"
#include "meter_model.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <vector>

class QSocketNotifier;

namespace metersim {

// Commands on stdin, one per line: a fault rule, clear-faults,
// set KIND:REG=VALUE, setf KIND:REG=VALUE, add-records G N. A leading
// "unit=N " aims a command at the meter with that address alone (a fault
// rule then only hits requests to it; clear-faults removes only the rules
// aimed at it); without it a command concerns every meter of the line.
// Each answers OK or ERR <reason>.
class CommandConsole : public QObject {
    Q_OBJECT
public:
    CommandConsole(std::vector<MeterModel *> meters, FaultRules &rules, QObject *parent = nullptr);

    // The reply to one command line ("OK" or "ERR ..."); empty for a blank line.
    QString execute(const QString &line);

private:
    void readInput();
    QString executeFor(const QString &command, quint8 unit, const std::vector<MeterModel *> &meters);

    std::vector<MeterModel *> meters_;
    FaultRules &rules_;
    QSocketNotifier *notifier_ = nullptr;
    QByteArray pending_;
};

} // namespace metersim
