// Downloads 2000 records of an 8-channel load-profile group from the
// simulated meter over a pseudo-terminal with wire-time emulation at
// 19200 baud, through the window's own download handlers, and prints,
// measured in the same run:
//  - records per second, and as a ratio to the limit that the wire time of
//    the bytes and the mandated gaps between frames set,
//  - the program's CPU time / wall time while downloading.
//
//   bench_lp_download [--records N]      (default 2000)

#include "link/link_state.h"
#include "link/transaction_link.h"
#include "loadprofile/block_read.h"
#include "loadprofile/download_panel.h"
#include "loadprofile/download_state.h"
#include "loadprofile/load_profile_pages.h"
#include "i18n/language_texts.h"
#include "metersim_process.h"
#include "modbus/transactions.h"
#include "polling/poll_cycle.h"
#include "polling/widget_poll_view.h"
#include "process_usage.h"
#include "ui/caption.h"
#include "ui/control_map.h"
#include "ui/messages.h"
#include "ui/named_controls.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace {

constexpr int kBaud = 19200;
constexpr int kChannels = 8;
constexpr int kGapMs = modbus::Transactions::kGapMs;

// Messages answered without a window: the benchmark asks nothing.
class NoMessages : public Messages {
public:
    MessageAnswer show(MessageKind, const QString &, const QString &text) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return MessageAnswer::No;
    }
};

// Bytes on the wire of a download of that many records: per block a
// pointer write (11 bytes, answer 8) and a read (8 bytes, answer 5 + data).
double wireAndGapsMs(long long records)
{
    double ms = 0;
    for (long long next = 0; next < records; next += loadprofile::kRecordsPerBlock) {
        const int inBlock = loadprofile::recordsInBlock(next, records - 1);
        const int bytes = 11 + 8 + 8 + 5 + 2 * loadprofile::blockRegisters(kChannels, inBlock);
        ms += bytes * 10.0 * 1000.0 / kBaud + 2 * kGapMs;
    }
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    long long records = 2000;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--records")); at >= 0 && at + 1 < args.size())
        records = args[at + 1].toLongLong();

    QTemporaryDir comDir, programDir;
    qputenv("AMPWRIGHT_COM_DIR", comDir.path().toLocal8Bit());
    testsupport::MeterSim sim;
    if (!sim.start({QStringLiteral("--no-tcp"), QStringLiteral("--pty-link"),
                    comDir.filePath(QStringLiteral("COM1")), QStringLiteral("--baud"),
                    QString::number(kBaud), QStringLiteral("--lp-count"),
                    QStringLiteral("1=%1").arg(records)})) {
        std::fprintf(stderr, "metersim did not start: %s\n", qPrintable(sim.errorString()));
        return 1;
    }

    LinkState link;
    link.SlaveAddress = 15;
    QString error;
    if (!link.serial.setPortNumber(1, &error)
        || !link.serial.setSettings(QStringLiteral("%1,n,8,1").arg(kBaud), &error)
        || !link.serial.open(&error)) {
        std::fprintf(stderr, "serial port: %s\n", qPrintable(error));
        return 1;
    }
    TransactionLink transactions(link);
    link.setLinkOnline(true);

    // The load-profile pages and the few controls of the window they use.
    QWidget root;
    auto *layout = new QVBoxLayout(&root);
    for (auto build : {buildLoadProfileRecordsPage, buildLoadProfileReadPage}) {
        auto *page = new QWidget(&root);
        build(page);
        layout->addWidget(page);
    }
    for (const char *name : {"Text6", "txtMeterSerial"})
        layout->addWidget(makeNamed<QLineEdit>(&root, name));
    const ControlMap controls(&root);
    WidgetPollView view(&root);
    PollCycle poll(transactions.transactions(), link, view); // built online: it stays idle
    DownloadState state(link);
    i18n::LanguageTexts texts;
    NoMessages messages;
    DownloadPanel downloads(link, state, transactions.transactions(), poll, texts, messages,
                            controls, programDir.path());
    setCaption(controls.require<QWidget>(QStringLiteral("Text_LP_Data_Counter"), 0),
               QString::number(kChannels));
    fillList(controls.require<QComboBox>(QStringLiteral("cmbLPReadGroupSel")),
             {QStringLiteral("1"), QStringLiteral("2")}, 0);
    for (const char *name : {"Combo_LP_Start_No", "Combo_LP_Stop_No"})
        fillList(controls.require<QComboBox>(QLatin1String(name)), numberTexts(1, int(records)), 0);
    controls.require<QComboBox>(QStringLiteral("Combo_LP_Stop_No"))->setCurrentIndex(int(records - 1));

    QElapsedTimer wall;
    wall.start();
    const double cpuStart = testsupport::cpuSeconds();
    downloads.Command8_Click();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (!state.LPDownloading || !link.LinkOnline())
            loop.quit();
    });
    check.start(100);
    loop.exec();
    const double seconds = double(wall.elapsed()) / 1000.0;
    const double cpuShare = (testsupport::cpuSeconds() - cpuStart) / seconds;
    if (state.LPNextRecord <= state.LPLastRecord) {
        std::printf("download failed after record %lld\n", state.LPNextRecord);
        return 1;
    }
    const double limitSeconds = wireAndGapsMs(records) / 1000.0;
    std::printf("%lld records of %d channels at %d baud: %.1f records/s, limit %.1f records/s "
                "(wire time + gaps), ratio %.3f (target <= 1.10)\n",
                records, kChannels, kBaud, double(records) / seconds,
                double(records) / limitSeconds, seconds / limitSeconds);
    std::printf("CPU time / wall time while downloading %.2f %% of one core (target < 3 %%)\n",
                100.0 * cpuShare);
    return 0;
}
