// Polls the simulated meter over a pseudo-terminal with wire-time emulation
// and prints, measured in the same run:
//  - mean cycle time / (wire time of the cycle's bytes + the mandated gaps),
//  - the program's CPU time / wall time while polling,
//  - its resident memory after one minute and at the end of the run.
//
//   bench_poll_cycle [--minutes N] [--harmonics] [--chart] [--log] [--trend]
//   (default 5 minutes; --harmonics reads voltage a's spectrum each cycle,
//   --chart also draws it, --log shows the communication log window while
//   polling, --trend the trend window with its six default curves)

#include "counting_serial.h"
#include "link/link_state.h"
#include "metersim_process.h"
#include "process_usage.h"
#include "link/event_loop_waits.h"
#include "modbus/transactions.h"
#include "config/setting_pages.h"
#include "loadprofile/load_profile_pages.h"
#include "polling/harmonic_chart.h"
#include "polling/measurement_panel.h"
#include "polling/poll_cycle.h"
#include "polling/widget_poll_view.h"
#include "i18n/language_texts.h"
#include "link/traffic_window.h"
#include "trend/trend_window.h"
#include "recording_messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>


#include <cstdio>
#include <memory>

namespace {

constexpr int kGapMs = modbus::Transactions::kGapMs;

class BenchHost : public modbus::TransactionHost {
public:
    explicit BenchHost(LinkState &link) : link_(link) {}
    bool linkOnline() const override { return link_.LinkOnline(); }
    std::uint64_t linkSession() const override { return link_.session(); }
    int slaveAddress() const override { return link_.SlaveAddress; }
    void setStatusText(const std::string &text) override { lastStatus = text; }
    void takeLinkOffline() override { link_.setLinkOnline(false); }
    std::string lastStatus;

private:
    LinkState &link_;
};


void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The panels the poll cycle writes into, as in the main window.
struct Panels {
    QWidget root;
    Panels()
    {
        auto *layout = new QVBoxLayout(&root);
        for (int panel = 0; panel < 2; ++panel) {
            auto *tabs = new QTabWidget(&root);
            tabs->setObjectName(QStringLiteral("SSTab2(%1)").arg(panel));
            buildMeasurementPanel(tabs, panel);
            layout->addWidget(tabs);
        }
        auto *basic = new QTabWidget(&root);
        basic->setObjectName(QStringLiteral("SSTab3"));
        buildBasicDataPanel(basic);
        layout->addWidget(basic);
        // The load-profile state the main block and block 5 carry, and the
        // setting controls the firmware layout switches.
        for (auto build : {buildLoadProfileRecordsPage, buildLoadProfileSettingPage,
                           buildMeterSettingsPage, buildDisplaySettingsPage})
            build(new QWidget(&root));
        for (const char *name : {"Text5", "txtMeterSerial", "Text6", "txt_Online", "cmdSetCO2",
                                 "SSTab1", "Command9(2)", "Command9(3)", "Command10(2)",
                                 "Command10(3)", "Command10(4)"}) {
            auto *edit = new QLineEdit(&root);
            edit->setObjectName(QString::fromLatin1(name));
            layout->addWidget(edit);
        }
    }
};

struct RunResult {
    int cycles = 0;
    double meanCycleMs = 0;
    double meanWireAndGapsMs = 0;
    double cpuShare = 0;
    double rssAfterOneMinute = 0;
    double rssAtEnd = 0;
    bool failed = false;
};

RunResult pollFor(int baud, double seconds, const QString &comDir, bool harmonics, bool drawn,
                  bool logged, bool trended)
{
    RunResult result;
    testsupport::MeterSim sim;
    if (!sim.start({QStringLiteral("--no-tcp"), QStringLiteral("--pty-link"), comDir + "/COM1",
                    QStringLiteral("--baud"), QString::number(baud)})) {
        std::fprintf(stderr, "metersim did not start: %s\n", qPrintable(sim.errorString()));
        result.failed = true;
        return result;
    }

    LinkState link;
    link.RtuMode = true;
    link.SlaveAddress = 15;
    QString error;
    if (!link.serial.setPortNumber(1, &error)
        || !link.serial.setSettings(QStringLiteral("%1,n,8,1").arg(baud), &error)
        || !link.serial.open(&error)) {
        std::fprintf(stderr, "serial port: %s\n", qPrintable(error));
        result.failed = true;
        return result;
    }
    link.setLinkOnline(true);

    CountingSerial serial(link.serial);
    BenchHost host(link);
    EventLoopWaits waits(link);
    modbus::Transactions tx(host, waits, serial, link.tcp);
    Panels panels;
    WidgetPollView view(&panels.root);
    PollCycle poll(tx, link, view);
    // With --harmonics voltage a's spectrum is read every cycle; with
    // --chart it is also drawn as the window's chart (shown, so that it
    // really paints).
    std::unique_ptr<HarmonicChart> chart;
    if (harmonics)
        panels.root.findChild<QAbstractButton *>(QStringLiteral("optHarmonic(0)"))->setChecked(true);
    if (drawn) {
        chart = std::make_unique<HarmonicChart>(poll, nullptr);
        chart->show();
    }
    // With --log the communication log is open, and so fed every frame.
    const i18n::LanguageTexts texts;
    testsupport::RecordingMessages messages;
    std::unique_ptr<TrafficWindow> log;
    if (logged) {
        log = std::make_unique<TrafficWindow>(tx, texts, messages, nullptr);
        log->show();
    }
    // With --trend the trend window is open and draws its default curves.
    std::unique_ptr<TrendWindow> trend;
    if (trended) {
        trend = std::make_unique<TrendWindow>(poll, link, texts, messages, comDir, nullptr);
        trend->show();
    }
    poll.requestFirmwareRead();
    poll.Timer1Sec_Timer(); // the firmware read and the choice of panel
    if (!link.LinkOnline()) {
        std::fprintf(stderr, "polling failed: %s\n", host.lastStatus.c_str());
        result.failed = true;
        return result;
    }

    double cycleMs = 0;
    double wireMs = 0;
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = testsupport::cpuSeconds();
    bool measuredMinute = false;
    while (wall.elapsed() < seconds * 1000 && link.LinkOnline()) {
        const long long out = serial.bytesOut, in = serial.bytesIn, requests = serial.requests;
        QElapsedTimer tick;
        tick.start();
        poll.Timer1Sec_Timer();
        cycleMs += double(tick.nsecsElapsed()) / 1e6;
        const long long bytes = serial.bytesOut - out + serial.bytesIn - in;
        wireMs += double(bytes) * 10.0 * 1000.0 / baud + double(serial.requests - requests) * kGapMs;
        ++result.cycles;
        pause(PollCycle::kIntervalMs);
        if (!measuredMinute && wall.elapsed() >= 60'000) {
            result.rssAfterOneMinute = testsupport::residentMiB();
            measuredMinute = true;
        }
    }
    result.failed = !link.LinkOnline();
    result.cpuShare = (testsupport::cpuSeconds() - cpuStart) / (double(wall.elapsed()) / 1000.0);
    result.rssAtEnd = testsupport::residentMiB();
    result.meanCycleMs = cycleMs / result.cycles;
    result.meanWireAndGapsMs = wireMs / result.cycles;
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    double minutes = 5;
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--minutes"));
    if (at >= 0 && at + 1 < args.size())
        minutes = args[at + 1].toDouble();
    const bool harmonics = args.contains(QStringLiteral("--harmonics"));
    const bool drawn = args.contains(QStringLiteral("--chart"));
    const bool logged = args.contains(QStringLiteral("--log"));
    const bool trended = args.contains(QStringLiteral("--trend"));

    QTemporaryDir comDir;
    qputenv("AMPWRIGHT_COM_DIR", comDir.path().toLocal8Bit());

    bool ok = true;
    for (int baud : {9600, 19200}) {
        // The long run (memory over time) at the faster rate; a shorter one at 9600.
        const double seconds = baud == 19200 ? minutes * 60 : 40;
        const RunResult r = pollFor(baud, seconds, comDir.path(), harmonics || drawn, drawn, logged, trended);
        if (r.failed) {
            std::printf("%5d baud: polling failed after %d cycles\n", baud, r.cycles);
            ok = false;
            continue;
        }
        std::printf("%5d baud: %d cycles, mean cycle %.1f ms, wire time + gaps %.1f ms, "
                    "ratio %.3f (target <= 1.15)\n",
                    baud, r.cycles, r.meanCycleMs, r.meanWireAndGapsMs,
                    r.meanCycleMs / r.meanWireAndGapsMs);
        std::printf("%5d baud: CPU time / wall time while polling %.2f %% of one core "
                    "(target < 3 %%)\n",
                    baud, 100.0 * r.cpuShare);
        if (baud == 19200)
            std::printf("%5d baud: resident memory after 1 min %.1f MiB, after %.0f min %.1f MiB "
                        "(growth %.2f MiB)\n",
                        baud, r.rssAfterOneMinute, minutes, r.rssAtEnd,
                        r.rssAtEnd - r.rssAfterOneMinute);
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}
