// The archive and the CSV files of downloads: import and export.
#include "archive/archive_store.h"

#include "archive/lp_csv_parse.h"
#include "archive/sql_fault.h"
#include "archive/stored_records.h"
#include "lpdata/csv_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlQuery>
#include <QVariant>

namespace archive {

namespace {

// A download's file of 12 channels over decades stays far below this; a
// larger file is no such file, and is not read into memory.
constexpr qint64 kMaxImportBytes = 256LL * 1024 * 1024;
// The serial part of a download's file name.
constexpr qsizetype kSerialPartLength = 8;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

std::optional<QByteArray> readWholeFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("Cannot open %1: %2").arg(shown(path), file.errorString()));
        return std::nullopt;
    }
    if (file.size() > kMaxImportBytes) {
        setError(error, QStringLiteral("%1 is too large for a load-profile file (%2 bytes)")
                            .arg(shown(path))
                            .arg(file.size()));
        return std::nullopt;
    }
    QByteArray bytes = file.read(kMaxImportBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxImportBytes) {
        setError(error, QStringLiteral("Cannot read %1: %2").arg(shown(path), file.errorString()));
        return std::nullopt;
    }
    return bytes;
}

// The group's interval as the file's stamps show it.
int intervalOfFile(const std::vector<lpdata::Record> &records)
{
    std::vector<long long> seconds;
    seconds.reserve(records.size());
    for (const lpdata::Record &record : records)
        if (lpdata::hasValidStamp(record))
            seconds.push_back(stampSeconds(record));
    return intervalOfStamps(seconds);
}

} // namespace

std::optional<StoreResult> ArchiveStore::importCsv(const QString &filePath, std::optional<QString> meterSerial,
                                                   std::optional<int> groupNumber, QString *error,
                                                   QString *matchedSerial)
{
    const std::optional<CsvFileOwner> owner = csvFileOwner(QFileInfo(filePath).fileName());
    if (!meterSerial && !owner) {
        setError(error, QStringLiteral("%1: the file's name does not give the meter "
                                       "(<serial>_<yyyymmdd>_Group<n>.csv); give its serial number and group")
                            .arg(shown(filePath)));
        return std::nullopt;
    }
    if (!groupNumber && !owner) {
        setError(error, QStringLiteral("%1: the file's name does not give the group; give it").arg(shown(filePath)));
        return std::nullopt;
    }
    const int group = groupNumber ? *groupNumber : owner->group;
    QString serial = meterSerial ? *meterSerial : owner->serial;
    QString matched;
    if (!meterSerial) {
        const auto known = meters(error);
        if (!known)
            return std::nullopt;
        QStringList whole;
        for (const MeterSummary &m : *known)
            if (m.group == group && m.serial != serial && lpdata::csvSerialPart(m.serial) == serial)
                whole << m.serial;
        if (whole.size() == 1)
            serial = matched = whole.first();
    }

    const std::optional<QByteArray> bytes = readWholeFile(filePath, error);
    if (!bytes)
        return std::nullopt;

    QHash<QString, int> codesByName;
    {
        QSqlQuery query(database());
        SqlFault fault;
        if (!execOrFault(query, QStringLiteral("SELECT channel_code, channel_name FROM lp_channel_names"),
                         QStringLiteral("read the channel names"), &fault)) {
            setError(error, fault.text());
            return std::nullopt;
        }
        while (query.next())
            codesByName.insert(query.value(1).toString(), query.value(0).toInt());
    }

    const LoadProfileCsvParse parse = parseLoadProfileCsv(*bytes, codesByName);
    if (!parse.ok()) {
        setError(error, QStringLiteral("%1, line %2: %3").arg(shown(filePath)).arg(parse.faultLine).arg(parse.fault));
        return std::nullopt;
    }
    QString storeError;
    RecordBlock block;
    block.meterSerial = serial;
    block.groupNumber = group;
    block.channelCodes = parse.channelCodes;
    block.intervalSeconds = intervalOfFile(parse.records);
    block.records = parse.records;
    block.given = parse.quality;
    auto result = storeBlock(block, &storeError);
    if (!result)
        setError(error, QStringLiteral("%1: %2").arg(shown(filePath), storeError));
    else if (matchedSerial)
        *matchedSerial = matched;
    return result;
}

QString exportBaseName(const QString &meterSerial, const QDate &today, int groupNumber)
{
    // Characters 9 to 16 of a meter's serial, or a serial of up to 8
    // characters as it is.
    const QString serialText = meterSerial.size() > kSerialPartLength
                                   ? meterSerial
                                   : QString(kSerialPartLength, u'0') + meterSerial;
    return lpdata::csvBaseName(serialText, today, groupNumber);
}

QStringList exportRows(const ExportRun &run, bool withFlags)
{
    QStringList rows;
    rows.reserve(qsizetype(run.records.size()));
    for (std::size_t i = 0; i < run.records.size(); ++i) {
        QString row = lpdata::csvRow(run.records[i]);
        if (withFlags)
            row += u',' + qualityText(run.quality[i]);
        rows << row;
    }
    return rows;
}

QByteArray exportFileText(const ExportRun &run, const QDateTime &now, bool withFlags)
{
    return lpdata::csvHeader(now, run.codes, withFlags ? QString::fromLatin1(kFlagsColumn) : QString())
           + lpdata::csvRowBytes(exportRows(run, withFlags));
}

std::optional<std::vector<ExportRun>> ArchiveStore::exportRuns(const QString &meterSerial, int groupNumber,
                                                               const TimeRange &range, QString *error) const
{
    const auto bounds = stampBounds(range);
    if (!bounds) {
        setError(error, QStringLiteral("The time range has an invalid end"));
        return std::nullopt;
    }
    std::vector<StoredRecord> stored;
    SqlFault fault;
    QSqlDatabase db = database();
    if (!readStoredRecords(db, meterSerial, groupNumber, *bounds, {}, &stored, &fault)) {
        setError(error, fault.text());
        return std::nullopt;
    }
    std::vector<ExportRun> runs;
    for (StoredRecord &record : stored) {
        if (runs.empty() || runs.back().codes != *record.codes)
            runs.push_back({*record.codes, {}, {}});
        runs.back().records.push_back(std::move(record.record));
        runs.back().quality.push_back(record.quality);
    }
    return runs;
}

std::optional<QStringList> ArchiveStore::exportCsv(const QString &meterSerial, int groupNumber,
                                                   const TimeRange &range, const QString &outDir,
                                                   QString *error, const QDateTime &now, bool withFlags) const
{
    const auto runs = exportRuns(meterSerial, groupNumber, range, error);
    if (!runs)
        return std::nullopt;
    QStringList paths;
    const QString baseName = exportBaseName(meterSerial, now.date(), groupNumber);
    const QString lastColumn = withFlags ? QString::fromLatin1(kFlagsColumn) : QString();
    for (const ExportRun &run : *runs) {
        const auto file =
            lpdata::LoadProfileCsv::create({outDir, QString()}, baseName, now, run.codes, error, lastColumn);
        if (!file || !file->appendRows(exportRows(run, withFlags), error))
            return std::nullopt;
        paths << file->path();
    }
    return paths;
}

} // namespace archive
