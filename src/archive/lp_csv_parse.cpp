#include "archive/lp_csv_parse.h"

#include <QByteArrayView>
#include <QRegularExpression>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace archive {

namespace {

const QByteArrayView kDateLineStart("Date : ");
const QByteArrayView kColumnLineStart("Date,Time,");
const QByteArrayView kUtf8Mark("\xEF\xBB\xBF");
// Column names longer than this are cut in messages.
constexpr qsizetype kShownNameLength = 40;

struct Fault {
    QString reason;
};

std::vector<QByteArrayView> split(QByteArrayView line, char separator)
{
    std::vector<QByteArrayView> fields;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = line.indexOf(separator, from);
        if (at < 0) {
            fields.push_back(line.sliced(from));
            return fields;
        }
        fields.push_back(line.sliced(from, at - from));
        from = at + 1;
    }
}

// A whole number of 1 to maxDigits decimal digits; -1 for anything else.
int smallNumber(QByteArrayView text, qsizetype maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return -1;
    int number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

// "2024/3/1" and "0:15:0" into the record's stamp.
bool readStamp(QByteArrayView date, QByteArrayView time, lpdata::Record *record)
{
    const std::vector<QByteArrayView> d = split(date, '/');
    const std::vector<QByteArrayView> t = split(time, ':');
    if (d.size() != 3 || t.size() != 3)
        return false;
    const int year = smallNumber(d[0], 4);
    const int fields[] = {smallNumber(d[1], 2), smallNumber(d[2], 2), smallNumber(t[0], 2),
                          smallNumber(t[1], 2), smallNumber(t[2], 2)};
    if (year < 2000 || year > 2000 + std::numeric_limits<std::uint8_t>::max())
        return false;
    for (const int field : fields) {
        if (field < 0)
            return false;
    }
    record->year = std::uint8_t(year - 2000);
    record->month = std::uint8_t(fields[0]);
    record->day = std::uint8_t(fields[1]);
    record->hour = std::uint8_t(fields[2]);
    record->minute = std::uint8_t(fields[3]);
    record->second = std::uint8_t(fields[4]);
    return lpdata::hasValidStamp(*record);
}

// "-12.5000", "3", or empty (NaN); nothing for any other text.
std::optional<double> readValue(QByteArrayView text)
{
    if (text.isEmpty())
        return std::numeric_limits<double>::quiet_NaN();
    qsizetype i = text.startsWith('-') ? 1 : 0;
    qsizetype digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] == '.' && !point && digits > 0)
            point = true;
        else if (text[i] >= '0' && text[i] <= '9')
            ++digits;
        else
            return std::nullopt;
    }
    if (digits == 0 || text.endsWith('.'))
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString shownName(QByteArrayView name)
{
    QString text = QString::fromLatin1(name.first(std::min(name.size(), kShownNameLength)));
    if (name.size() > kShownNameLength)
        text += QStringLiteral("...");
    return text;
}

std::optional<Fault> readColumnLine(QByteArrayView line, const QHash<QString, int> &codesByName,
                                    std::vector<int> *codes, bool *flags)
{
    if (!line.startsWith(kColumnLineStart))
        return Fault{QStringLiteral("the column line does not begin with \"Date,Time,\"")};
    std::vector<QByteArrayView> names = split(line.sliced(kColumnLineStart.size()), ',');
    *flags = names.size() > 1 && names.back() == QByteArrayView(kFlagsColumn);
    if (*flags)
        names.pop_back();
    if (names.size() > std::size_t(lpdata::kMaxChannels))
        return Fault{QStringLiteral("%1 channels; a group records at most %2")
                         .arg(names.size())
                         .arg(lpdata::kMaxChannels)};
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i].isEmpty())
            return Fault{QStringLiteral("channel %1 has no name: the file does not say which "
                                        "channel code it was, so its values cannot be stored")
                             .arg(i + 1)};
        const auto found = codesByName.constFind(QString::fromLatin1(names[i]));
        if (found == codesByName.cend())
            return Fault{QStringLiteral("\"%1\" names no channel").arg(shownName(names[i]))};
        if (std::find(codes->begin(), codes->end(), *found) != codes->end())
            return Fault{QStringLiteral("channel \"%1\" appears twice").arg(shownName(names[i]))};
        codes->push_back(*found);
    }
    return std::nullopt;
}

std::optional<Fault> readRow(QByteArrayView line, std::size_t channels, lpdata::Record *record,
                             RecordQuality *quality)
{
    if (line.isEmpty())
        return Fault{QStringLiteral("an empty line among the rows")};
    const std::vector<QByteArrayView> fields = split(line, ',');
    const std::size_t expected = channels + 2 + (quality ? 1 : 0);
    if (fields.size() != expected)
        return Fault{QStringLiteral("the row has %1 fields where %2 belong").arg(fields.size()).arg(expected)};
    if (quality) {
        const auto flags = parseQualityText(QString::fromLatin1(fields.back()));
        if (!flags)
            return Fault{QStringLiteral("\"%1\" are no flags of a record").arg(shownName(fields.back()))};
        *quality = *flags;
    }
    if (!readStamp(fields[0], fields[1], record))
        return Fault{QStringLiteral("\"%1,%2\" is no date and time of a record")
                         .arg(shownName(fields[0]), shownName(fields[1]))};
    record->values.reserve(channels);
    for (std::size_t i = 0; i < channels; ++i) {
        const std::optional<double> value = readValue(fields[i + 2]);
        if (!value)
            return Fault{QStringLiteral("the value of channel %1, \"%2\", is not a number")
                             .arg(i + 1)
                             .arg(shownName(fields[i + 2]))};
        record->values.push_back(*value);
    }
    return std::nullopt;
}

} // namespace

LoadProfileCsvParse parseLoadProfileCsv(const QByteArray &bytes, const QHash<QString, int> &codesByName)
{
    QByteArrayView rest(bytes);
    if (rest.startsWith(kUtf8Mark))
        rest = rest.sliced(kUtf8Mark.size());

    // The lines, each without its CR LF or LF; empty lines at the end dropped.
    std::vector<QByteArrayView> lines = split(rest, '\n');
    for (QByteArrayView &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    while (!lines.empty() && lines.back().isEmpty())
        lines.pop_back();

    LoadProfileCsvParse parse;
    const auto fail = [&parse](std::size_t index, const Fault &fault) {
        parse.channelCodes.clear();
        parse.records.clear();
        parse.quality.clear();
        parse.faultLine = static_cast<long long>(index) + 1;
        parse.fault = fault.reason;
        return parse;
    };
    if (lines.empty() || !lines[0].startsWith(kDateLineStart))
        return fail(0, {QStringLiteral("the first line does not begin with \"Date : \"")});
    if (lines.size() < 2)
        return fail(1, {QStringLiteral("the column line is missing")});
    bool flags = false;
    if (const auto fault = readColumnLine(lines[1], codesByName, &parse.channelCodes, &flags))
        return fail(1, *fault);

    parse.records.reserve(lines.size() - 2);
    for (std::size_t i = 2; i < lines.size(); ++i) {
        lpdata::Record record;
        RecordQuality quality;
        if (const auto fault = readRow(lines[i], parse.channelCodes.size(), &record, flags ? &quality : nullptr))
            return fail(i, *fault);
        parse.records.push_back(std::move(record));
        if (flags)
            parse.quality.push_back(quality);
    }
    return parse;
}

std::optional<CsvFileOwner> csvFileOwner(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^(.+)_[0-9]{8}_Group([12])(?:_[0-9]+)?\\.csv$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    return CsvFileOwner{match.captured(1), match.captured(2).toInt()};
}

} // namespace archive
