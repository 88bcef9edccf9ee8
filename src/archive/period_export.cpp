#include "archive/period_export.h"

#include "archive/lp_csv_parse.h"
#include "lpdata/channel_codes.h"
#include "lpdata/csv_file.h"

#include <QStringList>

#include <algorithm>
#include <map>

namespace archive {

namespace {

const QLatin1String kLineEnd("\r\n");
// Shares closer than this read alike in the file's four decimals.
constexpr double kSameShare = 0.00005;

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

QByteArray durationCsv(std::span<const lpdata::Record> records, std::span<const int> codes,
                       const PeriodCoverage &coverage)
{
    // A row where a value of any channel begins (as the file writes the
    // share: shares that read alike are one row).
    std::vector<QList<QPointF>> curves;
    std::map<QString, double> shares;
    for (std::size_t c = 0; c < codes.size(); ++c) {
        curves.push_back(loadDurationCurve(records, c, coverage));
        // The curve's last point only closes the last value's share.
        for (qsizetype i = 0; i + 1 < curves.back().size(); ++i)
            shares.emplace(lpdata::valueText(curves.back()[i].x()), curves.back()[i].x());
    }
    std::vector<std::pair<double, QString>> rows;
    for (const auto &[text, share] : shares)
        rows.emplace_back(share, text);
    std::sort(rows.begin(), rows.end());
    QStringList names;
    for (const int code : codes)
        names << lpdata::LPDataName(code);
    QString text = QStringLiteral("Share of time (%),") + names.join(u',') + kLineEnd;
    std::vector<qsizetype> at(curves.size(), 0); // each curve's value at the row
    for (const auto &[share, shareText] : rows) {
        QStringList fields{shareText};
        for (std::size_t c = 0; c < curves.size(); ++c) {
            const QList<QPointF> &curve = curves[c];
            while (at[c] + 2 < curve.size() && curve[at[c] + 1].x() <= share + kSameShare)
                ++at[c];
            const bool within = curve.size() > 1 && share < curve.last().x() - kSameShare;
            fields << (within ? lpdata::valueText(curve[at[c]].y()) : QString());
        }
        text += fields.join(u',') + kLineEnd;
    }
    return text.toLatin1();
}

} // namespace archive
