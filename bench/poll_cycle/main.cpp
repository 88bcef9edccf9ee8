// Polls the simulated meter over a pseudo-terminal with wire-time emulation
// through a meter session shown as the window shows it, and prints, measured
// in the same run:
//  - mean cycle time / (wire time of the cycle's bytes + the mandated gaps),
//  - the program's CPU time / wall time while polling, and per request,
//  - its resident memory after one minute and at the end of the run,
//  - with --mbpoll, mbpoll's (libmodbus) CPU time per request reading the
//    same meter as often, and the ratio of ours to it.
//
//   bench_poll_cycle [--minutes N] [--noise] [--mbpoll] [--harmonics] [--chart] [--log] [--trend]
//                    [--hidden]
//   (default 5 minutes; --noise: the meter's values move at every read, as
//   a real meter's do; --harmonics reads voltage a's spectrum each cycle,
//   --chart also draws it, --log shows the communication log window while
//   polling, --trend the trend window with its six default curves; the
//   panels are shown, as the program's window is, unless --hidden)

#include "gui/app/session_views.h"
#include "gui/config/setting_pages.h"
#include "gui/links/traffic_window.h"
#include "gui/loadprofile/load_profile_pages.h"
#include "gui/meter/harmonic_chart.h"
#include "gui/trend/trend_window.h"
#include "i18n/language_texts.h"
#include "links/plain_dispatcher.h"
#include "measurement_pages.h"
#include "metersim_process.h"
#include "modbus/transactions.h"
#include "process_usage.h"
#include "recording_messages.h"
#include "session/meter_session.h"
#include "wire_count.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <csignal>
#include <cstdio>
#include <memory>

#include <unistd.h>

namespace {

constexpr int kGapMs = modbus::Transactions::kGapMs;

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The pages the meter session is shown in, as in the main window.
struct Panels {
    QWidget root;
    meter::HarmonicChart *chart = nullptr;
    Panels()
    {
        QVBoxLayout *layout = testsupport::addMeasurementPages(&root);
        // The load-profile state the main block and block 5 carry, and the
        // setting controls the firmware layout switches, on the window's
        // pages of SSTab1.
        auto *pages = new QTabWidget(&root);
        pages->setObjectName(QStringLiteral("SSTab1"));
        for (auto build : {config::buildMeterSettingsPage, loadprofile::buildLoadProfileSettingPage,
                           loadprofile::buildLoadProfileRecordsPage, config::buildDisplaySettingsPage}) {
            auto *page = new QWidget(pages);
            build(page);
            pages->addTab(page, QString());
        }
        layout->addWidget(pages);
        for (const char *name : {"Text5", "txtMeterSerial", "Text6", "txt_Online", "Command9(2)",
                                 "Command9(3)", "Command10(2)", "Command10(3)", "Command10(4)"}) {
            auto *edit = new QLineEdit(&root);
            edit->setObjectName(QString::fromLatin1(name));
            layout->addWidget(edit);
        }
        // On the harmonic page in the window: not shown unless --chart.
        chart = new meter::HarmonicChart(&root);
        chart->hide();
    }
};

struct RunResult {
    int cycles = 0;
    long long requests = 0;
    double seconds = 0;
    double meanCycleMs = 0;
    double meanWireAndGapsMs = 0;
    double cpuShare = 0;
    double cpuPerRequestUs = 0;
    double rssAfterOneMinute = 0;
    double rssAtEnd = 0;
    bool failed = false;
};

QStringList meterOptions(int baud, const QString &comDir, bool noise)
{
    QStringList options{QStringLiteral("--no-tcp"), QStringLiteral("--pty-link"), comDir + "/COM1",
                        QStringLiteral("--baud"), QString::number(baud)};
    if (noise)
        options << QStringLiteral("--noise") << QStringLiteral("1") << QStringLiteral("--seed") << QStringLiteral("1");
    return options;
}

RunResult pollFor(int baud, double seconds, const QString &comDir, bool noise, bool harmonics, bool drawn,
                  bool logged, bool trended, bool hidden)
{
    RunResult result;
    testsupport::MeterSim sim;
    if (!sim.start(meterOptions(baud, comDir, noise))) {
        std::fprintf(stderr, "metersim did not start: %s\n", qPrintable(sim.errorString()));
        result.failed = true;
        return result;
    }

    session::MeterSession meter(session::MeterSession::Pacing::OnDemand);
    testsupport::WireCount wire;
    meter.transactions().setTrafficObserver(&wire);
    Panels panels;
    const i18n::LanguageTexts texts;
    app::SessionViews views(meter, &panels.root, *panels.chart, texts);
    views.followLayout();
    // With --harmonics voltage a's spectrum is read every cycle; with
    // --chart it is also drawn (shown, so that it really paints).
    if (harmonics)
        panels.root.findChild<QAbstractButton *>(QStringLiteral("optHarmonic(0)"))->setChecked(true);
    if (drawn) {
        panels.chart->setParent(nullptr);
        panels.chart->show();
    }
    // Shown, the panels lay out and draw what changes, as the window does.
    if (!hidden)
        panels.root.show();
    // With --log the communication log is open, and so fed every frame.
    testsupport::RecordingMessages messages;
    std::unique_ptr<links::TrafficWindow> log;
    if (logged) {
        log = std::make_unique<links::TrafficWindow>(meter.transactions(), texts, messages, nullptr);
        log->show();
    }
    // With --trend the trend window is open and draws its default curves.
    std::unique_ptr<trend::TrendWindow> trend;
    if (trended) {
        trend = std::make_unique<trend::TrendWindow>(meter.poll(), meter.link(), texts, messages, comDir, nullptr);
        trend->show();
    }
    links::MeterAddress address;
    address.port = 1;
    address.baud = baud;
    QString error;
    if (!meter.open(address, &error) || !meter.pollOnce(&error)) {
        std::fprintf(stderr, "polling failed: %s\n", qPrintable(error));
        result.failed = true;
        return result;
    }

    double cycleMs = 0;
    double wireMs = 0;
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = testsupport::cpuSeconds();
    const long long requestsStart = wire.requests;
    bool measuredMinute = false;
    while (wall.elapsed() < seconds * 1000 && meter.link().LinkOnline()) {
        const long long bytes = wire.bytes, requests = wire.requests;
        QElapsedTimer tick;
        tick.start();
        meter.poll().Timer1Sec_Timer();
        cycleMs += double(tick.nsecsElapsed()) / 1e6;
        wireMs += double(wire.bytes - bytes) * 10.0 * 1000.0 / baud + double(wire.requests - requests) * kGapMs;
        ++result.cycles;
        pause(session::PollCycle::kIntervalMs);
        if (!measuredMinute && wall.elapsed() >= 60'000) {
            result.rssAfterOneMinute = testsupport::residentMiB();
            measuredMinute = true;
        }
    }
    const double cpu = testsupport::cpuSeconds() - cpuStart;
    result.failed = !meter.link().LinkOnline();
    result.seconds = double(wall.elapsed()) / 1000.0;
    result.requests = wire.requests - requestsStart;
    result.cpuShare = cpu / result.seconds;
    result.cpuPerRequestUs = 1e6 * cpu / double(std::max(1LL, result.requests));
    result.rssAtEnd = testsupport::residentMiB();
    result.meanCycleMs = cycleMs / result.cycles;
    result.meanWireAndGapsMs = wireMs / result.cycles;
    return result;
}

// mbpoll reading the main block of the same meter requestsPerSecond times a
// second for seconds: its CPU time per request in microseconds.
double mbpollPerRequestUs(int baud, const QString &comDir, bool noise, double requestsPerSecond, double seconds)
{
    testsupport::MeterSim sim;
    if (!sim.start(meterOptions(baud, comDir, noise)))
        return -1;
    QTemporaryDir out;
    QProcess mbpoll;
    mbpoll.setStandardOutputFile(out.filePath(QStringLiteral("values")));
    mbpoll.start(QStringLiteral("mbpoll"),
                 {QStringLiteral("-m"), QStringLiteral("rtu"), QStringLiteral("-b"), QString::number(baud),
                  QStringLiteral("-P"), QStringLiteral("none"), QStringLiteral("-a"), QStringLiteral("15"),
                  QStringLiteral("-t"), QStringLiteral("4"), QStringLiteral("-r"), QStringLiteral("4097"),
                  QStringLiteral("-c"), QStringLiteral("100"), QStringLiteral("-l"),
                  QString::number(std::max(11, int(1000.0 / requestsPerSecond))), comDir + "/COM1"});
    if (!mbpoll.waitForStarted())
        return -1;
    pause(int(seconds * 1000));
    const double cpu = testsupport::processCpuSeconds(mbpoll.processId());
    // SIGINT, so that mbpoll writes out the lines it buffered (a kill would
    // lose them and undercount its polls).
    ::kill(pid_t(mbpoll.processId()), SIGINT);
    if (!mbpoll.waitForFinished(5000))
        mbpoll.kill();
    QFile values(out.filePath(QStringLiteral("values")));
    if (cpu < 0 || !values.open(QIODevice::ReadOnly))
        return -1;
    const long long polls = values.readAll().count("[4097]:");
    return polls > 0 ? 1e6 * cpu / double(polls) : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    links::preferPlainEventDispatcher(); // as the program does
    QApplication app(argc, argv);
    double minutes = 5;
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--minutes"));
    if (at >= 0 && at + 1 < args.size())
        minutes = args[at + 1].toDouble();
    const bool noise = args.contains(QStringLiteral("--noise"));
    const bool compare = args.contains(QStringLiteral("--mbpoll"));
    const bool harmonics = args.contains(QStringLiteral("--harmonics"));
    const bool drawn = args.contains(QStringLiteral("--chart"));
    const bool logged = args.contains(QStringLiteral("--log"));
    const bool trended = args.contains(QStringLiteral("--trend"));
    const bool hidden = args.contains(QStringLiteral("--hidden"));

    QTemporaryDir comDir;
    qputenv("AMPWRIGHT_COM_DIR", comDir.path().toLocal8Bit());

    bool ok = true;
    for (int baud : {9600, 19200}) {
        // The long run (memory over time) at the faster rate; a shorter one at 9600.
        const double seconds = baud == 19200 ? minutes * 60 : 40;
        const RunResult r = pollFor(baud, seconds, comDir.path(), noise, harmonics || drawn, drawn, logged, trended, hidden);
        if (r.failed) {
            std::printf("%5d baud: polling failed after %d cycles\n", baud, r.cycles);
            ok = false;
            continue;
        }
        std::printf("%5d baud: %d cycles, mean cycle %.1f ms, wire time + gaps %.1f ms, "
                    "ratio %.3f (target <= 1.15)\n",
                    baud, r.cycles, r.meanCycleMs, r.meanWireAndGapsMs, r.meanCycleMs / r.meanWireAndGapsMs);
        std::printf("%5d baud: CPU time / wall time while polling %.2f %% of one core (target < 1 %%), "
                    "%.0f us per request\n",
                    baud, 100.0 * r.cpuShare, r.cpuPerRequestUs);
        if (compare) {
            const double theirs = mbpollPerRequestUs(baud, comDir.path(), noise, double(r.requests) / r.seconds, 30);
            std::printf("%5d baud: mbpoll %.0f us per request at the same rate; ours / mbpoll %.2f (target <= 1.5)\n",
                        baud, theirs, theirs > 0 ? r.cpuPerRequestUs / theirs : 0.0);
        }
        if (baud == 19200)
            std::printf("%5d baud: resident memory after 1 min %.1f MiB, after %.0f min %.1f MiB "
                        "(growth %.2f MiB)\n",
                        baud, r.rssAfterOneMinute, minutes, r.rssAtEnd, r.rssAtEnd - r.rssAfterOneMinute);
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}
