#include "archive/period_export.h"

#include "archive/lp_csv_parse.h"
#include "archive/period_coverage.h"
#include "lpdata/channel_codes.h"
#include "lpdata/csv_file.h"

#include <QStringList>

#include <algorithm>

namespace archive {

namespace {

const QLatin1String kLineEnd("\r\n");

} // namespace

QByteArray periodCsv(std::span<const lpdata::Record> records, std::span<const RecordQuality> quality,
                     std::span<const int> codes, const QDateTime &now)
{
    QString text = lpdata::csvDateLine(now) + kLineEnd + lpdata::csvColumnLine(codes) + u','
                   + QLatin1String(kFlagsColumn) + kLineEnd;
    for (std::size_t i = 0; i < records.size(); ++i)
        text += lpdata::csvRow(records[i]) + u','
                + (i < quality.size() ? qualityText(quality[i]) : QString()) + kLineEnd;
    return text.toLatin1();
}

QByteArray durationCsv(std::span<const lpdata::Record> records, std::span<const int> codes, long long due)
{
    std::vector<QList<QPointF>> curves;
    qsizetype rows = 0;
    for (std::size_t c = 0; c < codes.size(); ++c) {
        curves.push_back(loadDurationCurve(records, c, due));
        // The curve's last point only closes the last value's share.
        rows = std::max(rows, curves.back().size() - 1);
    }
    QStringList names;
    for (const int code : codes)
        names << lpdata::LPDataName(code);
    QString text = QStringLiteral("Share of time (%),") + names.join(u',') + kLineEnd;
    const double share = 100.0 / double(std::max<long long>(due, rows));
    for (qsizetype i = 0; i < rows; ++i) {
        QStringList fields{lpdata::valueText(share * double(i))};
        for (const QList<QPointF> &curve : curves)
            fields << (i < curve.size() - 1 ? lpdata::valueText(curve[i].y()) : QString());
        text += fields.join(u',') + kLineEnd;
    }
    return text.toLatin1();
}

} // namespace archive
