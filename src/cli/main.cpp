// ampwright-cli: scripted reads and batch load-profile downloads, over the
// same links, transactions, decoders and CSV files as the window.
#include "archive/archive_location.h"
#include "archive/download_archiver.h"
#include "cli/archive_commands.h"
#include "cli/batch.h"
#include "cli/console.h"
#include "cli/serve.h"
#include "gateway/meter_list.h"
#include "links/plain_dispatcher.h"
#include "links/port_map.h"
#include "links/serial_link.h"
#include "links/stderr_traffic.h"
#include "meter/live_values.h"
#include "meter/quantities.h"
#include "session/meter_session.h"
#include "trend/csv_rows.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTimer>

#include <algorithm>
#include <utility>
#include <cstdio>
#include <ctime>
#include <mutex>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

using namespace cli;

const char kUsageText[] =
    "Usage:\n"
    "  ampwright-cli ports\n"
    "  ampwright-cli quantities\n"
    "  ampwright-cli read (--rtu N [--baud B] [--stop-bits S] | --tcp HOST[:PORT]) [--unit U]\n"
    "                     [--every SECONDS] [--format text|json|csv] [--quantities ID,ID,...]\n"
    "                     [--harmonics va,vb,vc,ia,ib,ic|all] [--log]\n"
    "  ampwright-cli lp (--rtu N [--baud B] [--stop-bits S] | --tcp HOST[:PORT]) [--unit U]\n"
    "                   --group 1|2 (--from N --to M | --since \"YYYY-MM-DD HH:MM\" [--until ...] | --new)\n"
    "                   [--out DIR] [--store sqlite:PATH | --no-store] [--log]\n"
    "  ampwright-cli lp --meters FILE [--group ...] [--from ... | --since ... | --new] [--out DIR] [--jobs N]\n"
    "                   [--store postgresql://USER@HOST[:PORT]/DB] [--worker NAME] [--lease-s S]\n"
    "  ampwright-cli archive list | export --serial S --group G [--since ...] [--until ...] [--out DIR]\n"
    "                       | import FILE... [--serial S] [--group G]    [--store sqlite:PATH]\n"
    "  ampwright-cli serve --meters FILE [--mqtt HOST[:PORT]] [--http [HOST:]PORT] [--every SECONDS]\n"
    "                      [--http-credentials FILE] [--metrics HOST:PORT]\n"
    "                      [--lp-every MINUTES] [--store sqlite:PATH|postgresql://...] [--config FILE]\n"
    "                      [--name N] [--mqtt-prefix P] [--mqtt-credentials F] [--mqtt-ca F]\n"
    "                      [--mqtt-cert F --mqtt-key F] [--timeout MS] [--pause MS] [--attempts N]\n"
    "                      [--tcp-pause-ms MS] [--listen \"HOST[:PORT] LINE-WORDS\"] [--log]\n"
    "  ampwright-cli --help | --version\n"
    "\n"
    "quantities  the ids, units and groups of the values a meter gives\n"
    "read   one poll of the meter's live values, or one every SECONDS until interrupted;\n"
    "       --harmonics adds each chosen channel's 32 harmonic values (meters that read them)\n"
    "       --format csv with --quantities records as the trend window does: \"time\", then\n"
    "       \"id (unit)\" a quantity; ISO 8601 local times, \".\" decimals, empty for a value not read\n"
    "lp     load-profile records into a CSV file as the window writes it (default folder \"LP Data\")\n"
    "       A meters file has one meter per line as key=value words: tcp=HOST[:PORT] or rtu=N,\n"
    "       unit=, baud=, stop-bits=, group=, from=, to=, since=\"...\", until=\"...\"\n"
    "       Every record downloaded is kept in the archive too (the user's, or --store's; not with --no-store);\n"
    "       --new: the records newer than the archive's newest of that meter and group\n"
    "       A fleet: workers on many machines given the same meters file and a PostgreSQL archive\n"
    "       (password from PGPASSWORD or ~/.pgpass) claim each TCP meter there before reading it; a\n"
    "       worker's meters go to the others when it dies and its claims' leases (--lease-s) run out\n"
    "serve  polls every meter of the meters file around the clock until SIGTERM or SIGINT: each\n"
    "       one's state and availability over MQTT (with Home Assistant discovery), metrics for\n"
    "       Prometheus, and its load profiles \"new only\" into the archive every --lp-every minutes\n"
    "       (15; 0: never); meters on one serial port or one TCP host:port share its line;\n"
    "       a meters-file line listen=HOST[:PORT] rtu=N|tcp=HOST[:PORT] [writes=allow|lp]\n"
    "       [clients=ADDR[/BITS],...] [masters=N] lets Modbus TCP masters share that line;\n"
    "       --http serves the gateway's page, its JSON API (/api/gateway, /api/lines, /api/meters,\n"
    "       /api/meters/SERIAL, /api/meters/SERIAL/lp?group=&from=&until=&format=json|csv) and\n"
    "       /metrics (--metrics names the same server); a port alone listens on 127.0.0.1;\n"
    "       --http-credentials FILE: one line USER:HASH (openssl passwd -6) asked of every request\n"
    "       --config gives the same settings from a file, the options win over it\n"
    "archive  list the archive's meters, export its records as CSV files, import CSV files\n"
    "--log  every frame sent and received and what became of it, on standard error\n"
    "--tcp-pause-ms MS  a fixed pause after each TCP request (default: none, each answer taken when complete)\n"
    "Serial ports are numbered 1 to 16 (see \"ports\"). Exit codes: 0 done, 1 a meter failed, 2 bad usage.\n";

bool stderrIsTerminal() { return isatty(fileno(stderr)); }

// One progress line on standard error, rewritten in place; only on a terminal.
void progressLine(const QString &text)
{
    static std::mutex lock;
    const std::lock_guard<std::mutex> hold(lock);
    std::fprintf(stderr, "\r%s\033[K", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

void addMeterOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {QStringLiteral("rtu"), QStringLiteral("Serial port number 1-16."), QStringLiteral("N")},
        {QStringLiteral("baud"), QStringLiteral("Baud rate (19200)."), QStringLiteral("B")},
        {QStringLiteral("stop-bits"), QStringLiteral("Stop bits 1 or 2 (1)."), QStringLiteral("S")},
        {QStringLiteral("tcp"), QStringLiteral("Modbus TCP meter."), QStringLiteral("HOST[:PORT]")},
        {QStringLiteral("unit"), QStringLiteral("Modbus address (15)."), QStringLiteral("U")},
        {QStringLiteral("log"), QStringLiteral("Every frame and what became of it, on standard error.")},
        {QStringLiteral("tcp-pause-ms"), QStringLiteral("A fixed pause after each TCP request, for slow gateways."),
         QStringLiteral("MS")},
    });
}

// Over TCP the tool takes each answer as soon as it is complete, unless
// --tcp-pause-ms asks for a fixed pause after each request.
bool applyTcpPause(const QCommandLineParser &p, links::MeterAddress &address, QString *error)
{
    address.tcpPauseMs = 0;
    if (!p.isSet(QStringLiteral("tcp-pause-ms")))
        return true;
    const auto ms = gateway::parseNumber(p.value(QStringLiteral("tcp-pause-ms")), 0, 10000, QStringLiteral("--tcp-pause-ms"), error);
    if (ms)
        address.tcpPauseMs = *ms;
    return ms.has_value();
}

// The options given, read as the words of a meters file into job; the meter
// must be named when meterRequired. False with a one-line error.
bool applyOptions(const QCommandLineParser &p, std::initializer_list<const char *> options,
                  gateway::MeterJob &job, bool meterRequired, QString *error)
{
    if (p.isSet(QStringLiteral("rtu")) && p.isSet(QStringLiteral("tcp"))) {
        *error = QStringLiteral("give --rtu or --tcp, not both");
        return false;
    }
    bool placed = false;
    for (const char *option : options) {
        const QString name = QLatin1String(option);
        if (p.isSet(name) && !gateway::applyMeterWord(name, p.value(name), job, placed, error))
            return false;
    }
    if (meterRequired && !placed) {
        *error = QStringLiteral("no meter: give --rtu N or --tcp HOST[:PORT]");
        return false;
    }
    return true;
}

int ports()
{
    for (int n = links::kFirstPort; n <= links::kLastPort; ++n) {
        const QString device = links::deviceForPort(n);
        QString state = QStringLiteral("not present");
        if (QFileInfo::exists(device)) {
            // Opened as a connection opens it.
            links::SerialLink port;
            QString why;
            state = port.setPortNumber(n, &why) && port.open(&why)
                        ? QStringLiteral("can be opened")
                        : QStringLiteral("cannot be opened: ") + why;
        }
        out(QStringLiteral("%1  %2  %3\n").arg(n, 2).arg(device, -16).arg(state));
    }
    return kOk;
}

// Waits without using the processor.
void sleepMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int read(const QStringList &args)
{
    QCommandLineParser p;
    addMeterOptions(p);
    p.addOptions({{QStringLiteral("every"), QStringLiteral("Seconds between reads."), QStringLiteral("SECONDS")},
                  {QStringLiteral("format"), QStringLiteral("text, json or csv."), QStringLiteral("FORMAT"),
                   QStringLiteral("text")},
                  {QStringLiteral("quantities"), QStringLiteral("Only these quantities (see \"quantities\")."),
                   QStringLiteral("ID,ID,...")},
                  {QStringLiteral("harmonics"), QStringLiteral("The harmonic spectra of these channels."),
                   QStringLiteral("va,vb,vc,ia,ib,ic|all")}});
    int code = kOk;
    if (!parse(p, args, &code))
        return code;
    gateway::MeterJob job;
    QString error;
    if (!applyOptions(p, {"rtu", "tcp", "unit", "baud", "stop-bits"}, job, true, &error)
        || !applyTcpPause(p, job.address, &error))
        return usage(error);
    const links::MeterAddress &address = job.address;
    const QString format = p.value(QStringLiteral("format"));
    if (format != QLatin1String("text") && format != QLatin1String("json") && format != QLatin1String("csv"))
        return usage(QStringLiteral("the format is text, json or csv, not \"%1\"").arg(format));
    QStringList chosen;
    std::vector<meter::Q> chosenQuantities;
    if (p.isSet(QStringLiteral("quantities"))) {
        chosen = p.value(QStringLiteral("quantities")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (QString &id : chosen) {
            id = id.trimmed();
            const std::optional<meter::Q> q = meter::findQuantity(id);
            if (!q)
                return usage(QStringLiteral("no quantity is named \"%1\" (see \"quantities\")").arg(id));
            chosenQuantities.push_back(*q);
        }
        if (chosen.isEmpty())
            return usage(QStringLiteral("--quantities names no quantity"));
    }
    std::vector<int> spectra;
    if (p.isSet(QStringLiteral("harmonics"))) {
        const QString names = p.value(QStringLiteral("harmonics")).trimmed();
        for (const QString &name : names == QLatin1String("all") ? QStringList{"va", "vb", "vc", "ia", "ib", "ic"}
                                                                  : names.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const auto channel = meter::harmonicChannelOf(name.trimmed());
            if (!channel)
                return usage(QStringLiteral("no harmonic channel is named \"%1\" (va, vb, vc, ia, ib, ic or all)").arg(name));
            if (std::find(spectra.begin(), spectra.end(), *channel) == spectra.end())
                spectra.push_back(*channel);
        }
        if (spectra.empty())
            return usage(QStringLiteral("--harmonics names no channel"));
    }
    int every = 0;
    if (p.isSet(QStringLiteral("every"))) {
        const auto n = gateway::parseNumber(p.value(QStringLiteral("every")), 1, 86400, QStringLiteral("--every"), &error);
        if (!n)
            return usage(error);
        every = *n;
    }

    links::StderrTraffic traffic;
    session::MeterSession meter(session::MeterSession::Pacing::OnDemand);
    meter.transactions().setTrafficObserver(p.isSet(QStringLiteral("log")) ? &traffic : nullptr);
    if (!meter.open(address, &error))
        return fail(error, kFailed);
    // What the meter refuses, and that its firmware has no spectra, are told
    // once, and again when it changes.
    std::vector<session::RefusedRead> refused;
    bool toldNoSpectra = false;
    for (bool first = true;; first = false) {
        QElapsedTimer took;
        took.start();
        // A cycle cut short by a garbled answer is tried once more.
        if (!meter.pollOnce(&error) && !(meter.link().LinkOnline() && meter.pollOnce(&error)))
            return fail(error, kFailed);
        std::vector<meter::LiveValue> values = meter::liveValues(meter.reading(), chosen);
        if (!spectra.empty() && !meter.poll().readsHarmonics() && !std::exchange(toldNoSpectra, true))
            fail(QStringLiteral("the meter's firmware (%1) has no harmonic spectra").arg(meter.reading().firmwareText.trimmed()), kOk);
        for (const int channel : spectra)
            if (const auto spectrum = meter.poll().readHarmonics(channel))
                meter::addSpectrum(values, channel, *spectrum);
        for (const QString &change : session::refusalChanges(refused, meter.poll().refusedReads()))
            fail(QStringLiteral("the meter ") + change, kOk);
        refused = meter.poll().refusedReads();
        if (format == QLatin1String("json"))
            out(meter::jsonLine(values, meter.reading()));
        else if (format == QLatin1String("csv") && !chosen.isEmpty())
            // Chosen quantities are recorded as the trend window records them.
            out((first ? trend::csvHeader(chosenQuantities) + QLatin1Char('\n') : QString())
                + trend::csvRow(QDateTime::currentDateTime(), chosenQuantities, meter.reading())
                + QLatin1Char('\n'));
        else if (format == QLatin1String("csv"))
            out((first ? meter::csvHeader(values) : QString()) + meter::csvLine(values));
        else
            out((first ? QString() : QStringLiteral("\n")) + meter::textLines(values));
        if (every == 0)
            return kOk;
        sleepMs(int(std::max<qint64>(0, every * 1000LL - took.elapsed())));
    }
}

int loadProfile(const QStringList &args)
{
    QCommandLineParser p;
    addMeterOptions(p);
    p.addOptions({
        {QStringLiteral("group"), QStringLiteral("Load-profile group 1 or 2."), QStringLiteral("G")},
        {QStringLiteral("from"), QStringLiteral("First record number."), QStringLiteral("N")},
        {QStringLiteral("to"), QStringLiteral("Last record number."), QStringLiteral("M")},
        {QStringLiteral("since"), QStringLiteral("Records from this time."), QStringLiteral("YYYY-MM-DD HH:MM")},
        {QStringLiteral("until"), QStringLiteral("Records up to this time."), QStringLiteral("YYYY-MM-DD HH:MM")},
        {QStringLiteral("out"), QStringLiteral("Folder of the CSV files."), QStringLiteral("DIR"),
         QStringLiteral("LP Data")},
        {QStringLiteral("meters"), QStringLiteral("A file of meters to download."), QStringLiteral("FILE")},
        {QStringLiteral("jobs"), QStringLiteral("TCP meters at a time (4)."), QStringLiteral("N"), QStringLiteral("4")},
        {QStringLiteral("new"), QStringLiteral("Only records newer than the archive's.")},
        {QStringLiteral("worker"), QStringLiteral("This worker's name in a fleet (host:process)."), QStringLiteral("NAME")},
        {QStringLiteral("lease-s"), QStringLiteral("Seconds a claimed meter stays this worker's unrenewed (60)."),
         QStringLiteral("S"), QStringLiteral("60")},
    });
    addStoreOptions(p);
    int code = kOk;
    if (!parse(p, args, &code))
        return code;
    const bool batch = p.isSet(QStringLiteral("meters"));
    gateway::MeterJob defaults;
    QString error;
    if (!applyOptions(p, {"rtu", "tcp", "unit", "baud", "stop-bits", "group", "from", "to", "since", "until"},
                      defaults, !batch, &error)
        || !applyTcpPause(p, defaults.address, &error))
        return usage(error);
    if (!batch && !p.isSet(QStringLiteral("group")))
        return usage(QStringLiteral("give the group: --group 1 or --group 2"));
    if (!gateway::checkRange(defaults.range, &error))
        return usage(error);
    defaults.range.newOnly = p.isSet(QStringLiteral("new"));
    if (defaults.range.newOnly && (defaults.range.since || defaults.range.from || defaults.range.to))
        return usage(QStringLiteral("--new chooses the records itself: no --from, --to, --since or --until"));
    if (!batch && !defaults.range.newOnly && !defaults.range.since && !(defaults.range.from && defaults.range.to))
        return usage(QStringLiteral("give the records: --from N --to M, --since \"YYYY-MM-DD HH:MM\" or --new"));
    const auto archivePath = chosenArchive(p, &error);
    if (!archivePath)
        return usage(error);
    if (defaults.range.newOnly && archivePath->isEmpty())
        return usage(QStringLiteral("--new needs an archive to compare with: not --no-store"));
    const QString outDir = p.value(QStringLiteral("out"));
    const bool showProgress = stderrIsTerminal();

    if (!batch) {
        links::StderrTraffic traffic;
        QElapsedTimer sinceStart;
        sinceStart.start();
        const loadprofile::LpResult result = loadprofile::downloadLoadProfile(
            defaults.address, defaults.range, outDir, *archivePath, [&](long long done, long long asked) {
                if (!showProgress)
                    return true;
                const long long left = sinceStart.elapsed() * (asked - done) / std::max(1LL, done) / 1000;
                progressLine(QStringLiteral("%1/%2 records, %3 s left").arg(done).arg(asked).arg(left));
                return true;
            },
            p.isSet(QStringLiteral("log")) ? &traffic : nullptr);
        if (showProgress)
            progressLine(QString());
        if (!result.archiveNote.isEmpty())
            fail(result.archiveNote, kOk);
        if (!result.ok)
            return fail(result.error + (result.path.isEmpty() ? QString() : QStringLiteral("; rows so far in ") + result.path),
                        kFailed);
        if (result.nothingNew) {
            out(QStringLiteral("nothing new: the archive holds the meter's newest record\n"));
            return kOk;
        }
        if (defaults.range.newOnly && !archivePath->isEmpty())
            out(archive::newRecordsText(result.stored) + QLatin1Char('\n'));
        out(QStringLiteral("%1 records from record %2 on in %3\n")
                .arg(result.records)
                .arg(result.firstRecord)
                .arg(result.path));
        if (!result.archiveError.isEmpty())
            return fail(QStringLiteral("the archive did not take every record: %1; the records are in the CSV file; "
                                       "run with --new to store them").arg(result.archiveError),
                        kFailed);
        return kOk;
    }

    QFile file(p.value(QStringLiteral("meters")));
    if (!file.open(QIODevice::ReadOnly))
        return usage(QStringLiteral("cannot read the meters file %1: %2").arg(file.fileName(), file.errorString()));
    const auto jobs = gateway::parseMeterList(QString::fromUtf8(file.readAll()), defaults, &error);
    if (!jobs)
        return usage(QStringLiteral("%1: %2").arg(file.fileName(), error));
    const auto parallel = gateway::parseNumber(p.value(QStringLiteral("jobs")), 1, 64, QStringLiteral("--jobs"), &error);
    if (!parallel)
        return usage(error);
    // With a shared server's archive (or a worker's name) the TCP meters are
    // claimed in the archive, so that workers on many machines share them.
    std::optional<cli::FleetWorker> fleet;
    const auto location = archive::parseArchiveLocation(*archivePath, nullptr);
    if (p.isSet(QStringLiteral("worker"))
        || (location && location->kind == archive::ArchiveLocation::Kind::Postgres)) {
        if (archivePath->isEmpty())
            return usage(QStringLiteral("--worker shares meters through the archive: not with --no-store"));
        const auto lease = gateway::parseNumber(p.value(QStringLiteral("lease-s")), 2, 86400, QStringLiteral("--lease-s"), &error);
        if (!lease)
            return usage(error);
        fleet = cli::FleetWorker{p.isSet(QStringLiteral("worker"))
                                     ? p.value(QStringLiteral("worker"))
                                     : QStringLiteral("%1:%2").arg(QSysInfo::machineHostName()).arg(QCoreApplication::applicationPid()),
                                 double(*lease)};
        if (fleet->worker.trimmed().isEmpty())
            return usage(QStringLiteral("--worker needs a name"));
    }
    QElapsedTimer took;
    took.start();
    const std::vector<cli::BatchResult> results =
        cli::runBatch(*jobs, outDir, *archivePath, *parallel, p.isSet(QStringLiteral("log")), [&](int done, int total) {
            if (showProgress)
                progressLine(QStringLiteral("%1 of %2 meters done").arg(done).arg(total));
        }, fleet);
    if (showProgress)
        progressLine(QString());
    out(cli::summaryTable(results));
    if (fleet)
        out(cli::workerSummary(*fleet, results, took.elapsed() / 1000.0, double(std::clock()) / CLOCKS_PER_SEC));
    for (const cli::BatchResult &r : results)
        if (!r.result.ok)
            return kFailed;
    return kOk;
}

} // namespace

int main(int argc, char *argv[])
{
    links::preferPlainEventDispatcher();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ampwright-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(AMPWRIGHT_VERSION));
    QStringList args = QCoreApplication::arguments();
    const QString command = args.size() > 1 ? args[1] : QString();
    if (command.isEmpty() || command == QLatin1String("--help") || command == QLatin1String("-h")
        || command == QLatin1String("help")) {
        out(QLatin1String(kUsageText));
        return command.isEmpty() ? kUsage : kOk;
    }
    if (command == QLatin1String("--version")) {
        out(QStringLiteral("ampwright-cli %1\n").arg(QCoreApplication::applicationVersion()));
        return kOk;
    }
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        out(QLatin1String(kUsageText));
        return kOk;
    }
    args.removeAt(1); // the parser sees the program name and the options
    if (command == QLatin1String("ports"))
        return args.size() == 1 ? ports() : usage(QStringLiteral("\"ports\" takes no options"));
    if (command == QLatin1String("quantities")) {
        if (args.size() != 1)
            return usage(QStringLiteral("\"quantities\" takes no options"));
        out(meter::quantityListing());
        return kOk;
    }
    if (command == QLatin1String("read"))
        return read(args);
    if (command == QLatin1String("lp"))
        return loadProfile(args);
    if (command == QLatin1String("archive"))
        return archiveCommand(args);
    if (command == QLatin1String("serve"))
        return cli::serve(args);
    return usage(QStringLiteral("unknown command \"%1\"").arg(command));
}
