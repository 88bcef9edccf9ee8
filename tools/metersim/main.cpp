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
#include "write_log.h"

#include <QCoreApplication>

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

    MeterModel model(options.meter);
    for (const RegisterAssignment &a : options.assignments) {
        if (!a.applyTo(model, &message)) {
            printError(message);
            return 2;
        }
    }
    FaultRules rules;
    for (const FaultRule &rule : options.faults)
        rules.add(rule);
    WriteLog writeLog;
    if (!options.writeLogPath.isEmpty() && !writeLog.open(options.writeLogPath, &message)) {
        printError(message);
        return 2;
    }
    MeterService service(model, rules, writeLog, options.baud);

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
    CommandConsole console(model, rules);
    printLine(QStringLiteral("READY"));
    return app.exec();
}
