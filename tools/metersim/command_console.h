#pragma once

#include "fault_rules.h"
#include "meter_model.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace metersim {

// Commands on stdin, one per line: a fault rule, clear-faults,
// set KIND:REG=VALUE, setf KIND:REG=VALUE. Each answers OK or ERR <reason>.
class CommandConsole : public QObject {
    Q_OBJECT
public:
    CommandConsole(MeterModel &model, FaultRules &rules, QObject *parent = nullptr);

    // The reply to one command line ("OK" or "ERR ..."); empty for a blank line.
    QString execute(const QString &line);

private:
    void readInput();

    MeterModel &model_;
    FaultRules &rules_;
    QSocketNotifier *notifier_ = nullptr;
    QByteArray pending_;
};

} // namespace metersim
