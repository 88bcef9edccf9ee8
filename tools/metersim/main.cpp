// metersim: a simulated three-phase electricity meter for tests, benchmarks
// and the demo. See --help for everything it does.

#include "command_console.h"
#include "console_output.h"
#include "meter_model.h"
#include "meter_service.h"
#include "options.h"
#include "rtu_port.h"
#include "signal_watcher.h"
#include "tcp_server.h"
#include "unit_configs.h"
#include "write_log.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <csignal>
#include <cstdio>
#include <memory>

using namespace metersim;

namespace {

QString hostPort(const QHostAddress &address, quint16 port)
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
        ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
        : address.toString();
    return host + QLatin1Char(':') + QString::number(port);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::signal(SIGPIPE, SIG_IGN); // a closed stdout or socket must not end the meter
    std::signal(SIGTTIN, SIG_IGN); // started in the background of a shell: stdin reads fail, no stop

    Options options;
    QString message;
    switch (parseOptions(app.arguments(), options, &message)) {
    case ParseOutcome::Help:
        std::fputs(qPrintable(message), stdout);
        return 0;
    case ParseOutcome::Error:
        printError(message);
        return 2;
    case ParseOutcome::Run:
        break;
    }

    const quint64 seed = options.noiseSeed.value_or(QRandomGenerator::system()->generate64() >> 1);
    std::vector<std::unique_ptr<MeterModel>> models;
    std::vector<MeterModel *> meters;
    for (const MeterConfig &config : unitConfigs(options, seed)) {
        models.push_back(std::make_unique<MeterModel>(config));
        meters.push_back(models.back().get());
        for (const RegisterAssignment &a : options.assignments) {
            if (!a.applyTo(*meters.back(), &message)) {
                printError(message);
                return 2;
            }
        }
        printLine(QStringLiteral("UNIT %1 %2").arg(config.unit).arg(QString::fromLatin1(config.serial)));
    }
    if (options.meter.noisePercent > 0)
        printLine(QStringLiteral("NOISE %1 SEED %2").arg(options.meter.noisePercent).arg(seed));
    FaultRules rules;
    for (const FaultRule &rule : options.faults)
        rules.add(rule);
    WriteLog writeLog;
    if (!options.writeLogPath.isEmpty() && !writeLog.open(options.writeLogPath, &message)) {
        printError(message);
        return 2;
    }
    MeterService service(meters, rules, writeLog, options.baud);

    std::unique_ptr<TcpServer> tcp;
    if (options.tcp) {
        tcp = std::make_unique<TcpServer>(service);
        if (!tcp->listen(options.tcpAddress, options.tcpPort, &message)) {
            printError(message);
            return 1;
        }
        printLine(QStringLiteral("TCP ") + hostPort(tcp->address(), tcp->port()));
    }
    std::unique_ptr<RtuPort> rtu;
    if (options.pty) {
        rtu = std::make_unique<RtuPort>(service);
        if (!rtu->open(options.ptyLink, &message)) {
            printError(message);
            return 1;
        }
        printLine(QStringLiteral("PTY ") + rtu->devicePath());
    }

    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &app,
                     &QCoreApplication::quit);
    CommandConsole console(meters, rules);
    printLine(QStringLiteral("READY"));
    return app.exec();
}
