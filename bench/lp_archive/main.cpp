// Imports one year of 15-minute load-profile records of 8 channels (35 040
// records) from a CSV file written as a download writes it into a new
// archive, then reads one channel month by month, and prints, measured in
// the same run:
//  - the import time, against the time to parse the same file alone and
//    against the aim of 2 s,
//  - the time of a one-month query of one channel,
//  - the archive's size on disk per meter-year, against the CSV file's size,
//  - the viewer on that archive: its first paint of a month of the 8
//    channels and a change of period, against the aim of 300 ms (see
//    viewer_timing.h; Qt's offscreen platform unless another is set).
//
//   bench_lp_archive [--records N]      (default 35040)

#include "archive/archive_store.h"
#include "archive/lp_csv_parse.h"
#include "lpdata/channel_codes.h"
#include "lpdata/csv_file.h"
#include "lpdata/records.h"
#include "viewer_timing.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {

constexpr long long kYearOfQuarterHours = 365LL * 96;
constexpr double kImportAimSeconds = 2.0;
const std::vector<int> kCodes{1, 2, 3, 4, 6, 12, 13, 7};
const QString kSerial = QStringLiteral("12345678");

// A year from 2024-01-01 00:00 on: voltages, currents, powers as a meter's
// single-precision values, and a growing energy total.
QByteArray yearFile(long long records)
{
    QRandomGenerator random(22);
    QByteArray bytes = (lpdata::csvDateLine(QDateTime::currentDateTime()) + QLatin1String("\r\n")
                        + lpdata::csvColumnLine(kCodes) + QLatin1String("\r\n"))
                           .toLatin1();
    const QDateTime start(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    double total = 12345.0;
    for (long long i = 0; i < records; ++i) {
        const QDateTime t = start.addSecs(i * 900);
        lpdata::Record record{std::uint8_t(t.date().year() - 2000), std::uint8_t(t.date().month()),
                                   std::uint8_t(t.date().day()), std::uint8_t(t.time().hour()),
                                   std::uint8_t(t.time().minute()), 0, {}};
        const double load = 0.5 + 0.4 * std::sin(double(i) * 2 * M_PI / 96) + 0.1 * random.generateDouble();
        const double kw = 40.0 * load;
        total += kw / 4;
        for (const double value : {229 + 2 * random.generateDouble(), 60.0 * load, kw, 12.0 * load,
                                   0.9 + 0.05 * random.generateDouble(), kw / 4, 3.0 * load, total})
            record.values.push_back(double(float(value)));
        bytes += (lpdata::csvRow(record) + QLatin1String("\r\n")).toLatin1();
    }
    return bytes;
}

double secondsOf(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    long long records = kYearOfQuarterHours;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--records")); at >= 0 && at + 1 < args.size())
        records = std::max(1LL, args[at + 1].toLongLong());

    QTemporaryDir dir;
    const QString csvPath = dir.filePath(kSerial + QStringLiteral("_20250101_Group1.csv"));
    const QByteArray csv = yearFile(records);
    QFile file(csvPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(csvPath));
        return 1;
    }
    file.close();

    QHash<QString, int> codesByName;
    for (const int code : lpdata::LPChannelCodes())
        codesByName.insert(lpdata::LPDataName(code), code);
    QElapsedTimer timer;
    timer.start();
    const bool parsed = archive::parseLoadProfileCsv(csv, codesByName).ok();
    const double parseSeconds = secondsOf(timer);

    const QString archivePath = dir.filePath(QStringLiteral("archive.sqlite"));
    QString error;
    auto store = archive::ArchiveStore::open(archivePath, &error);
    if (!parsed || !store) {
        std::fprintf(stderr, "cannot start: %s\n", qPrintable(error));
        return 1;
    }
    timer.restart();
    const auto imported = store->importCsv(csvPath, std::nullopt, std::nullopt, &error);
    const double importSeconds = secondsOf(timer);
    timer.restart();
    const auto again = store->importCsv(csvPath, std::nullopt, std::nullopt, &error);
    const double againSeconds = secondsOf(timer);
    if (!imported || !again || imported->added != records || again->unchanged != records) {
        std::fprintf(stderr, "import failed: %s\n", qPrintable(error));
        return 1;
    }

    // One channel (kW) month by month.
    int months = 0;
    std::size_t rows = 0;
    timer.restart();
    for (QDate month(2024, 1, 1); month < QDate(2024, 1, 1).addDays(int(records / 96 + 1)); month = month.addMonths(1)) {
        const archive::TimeRange range{QDateTime(month, QTime(0, 0), Qt::UTC),
                                       QDateTime(month.addMonths(1).addDays(-1), QTime(23, 59, 59), Qt::UTC)};
        const auto read = store->records(kSerial, 1, std::vector<int>{3}, range, &error);
        if (!read) {
            std::fprintf(stderr, "query failed: %s\n", qPrintable(error));
            return 1;
        }
        rows += read->size();
        ++months;
    }
    const double monthSeconds = secondsOf(timer) / months;

    store.reset(); // closing folds the write-ahead log into the file
    const double bytes = double(QFileInfo(archivePath).size() + QFileInfo(archivePath + "-wal").size());
    const double years = double(records) / double(kYearOfQuarterHours);

    std::printf("import of %lld records of %zu channels (%.1f MB CSV): %.3f s, %.1f x the parse time "
                "of the file (%.3f s), %.2f of the %.0f s aim; again (all unchanged) %.3f s\n",
                records, kCodes.size(), double(csv.size()) / 1e6, importSeconds, importSeconds / parseSeconds,
                parseSeconds, importSeconds / kImportAimSeconds, kImportAimSeconds, againSeconds);
    std::printf("one channel, one month (%zu records a month): %.2f ms a query, %.3f x the import time "
                "of a month's records\n",
                rows / std::size_t(months), monthSeconds * 1e3, monthSeconds / (importSeconds / (12 * years)));
    std::printf("archive on disk: %.1f MB per meter-year of 8 channels, %.0f bytes a record, %.2f x the CSV "
                "file\n",
                bytes / years / 1e6, bytes / double(records), bytes / double(csv.size()));
    if (!timeViewer(archivePath)) {
        std::fprintf(stderr, "the viewer did not draw the archive's records\n");
        return 1;
    }
    return 0;
}
