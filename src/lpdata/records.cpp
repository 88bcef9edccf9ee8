#include "lpdata/records.h"

#include "lpdata/date_serial.h"
#include "modbus/float_codec.h"

#include <QStringList>

#include <cmath>

namespace lpdata {

namespace {
constexpr int kStampBytes = 6;
constexpr int kValueBytes = 4;
} // namespace

std::optional<long long> recordNumber(const QString &text)
{
    bool isNumber = false;
    const long long number = text.trimmed().toLongLong(&isNumber);
    return isNumber && number >= 1 ? std::optional(number) : std::nullopt;
}

bool typedRecordAccepted(const QString &text, long long validCount)
{
    bool isNumber = false;
    const long long number = text.trimmed().toLongLong(&isNumber);
    return !isNumber || number <= validCount;
}

std::optional<QString> stopFollowingStart(const QString &startText, const QString &stopText)
{
    const auto start = recordNumber(startText);
    const auto stop = recordNumber(stopText);
    if (start && (!stop || *start > *stop))
        return startText.trimmed();
    return std::nullopt;
}

std::optional<int> channelCount(const QString &text)
{
    bool isNumber = false;
    const int channels = text.trimmed().toInt(&isNumber);
    return isNumber && channels >= 1 && channels <= kMaxChannels ? std::optional(channels) : std::nullopt;
}

int recordBytes(int channels)
{
    if (channels < 1 || channels > kMaxChannels)
        return 0;
    return kStampBytes + kValueBytes * channels;
}

std::optional<std::vector<Record>> decodeRecords(std::span<const std::uint8_t> bytes,
                                                 int channels, int count)
{
    const int size = recordBytes(channels);
    if (size == 0 || count < 1 || bytes.size() != std::size_t(count) * std::size_t(size))
        return std::nullopt;

    std::vector<Record> records(static_cast<std::size_t>(count));
    for (std::size_t r = 0; r < records.size(); ++r) {
        const std::span<const std::uint8_t> raw = bytes.subspan(r * std::size_t(size), std::size_t(size));
        Record &record = records[r];
        record.year = raw[0];
        record.month = raw[1];
        record.day = raw[2];
        record.hour = raw[3];
        record.minute = raw[4];
        record.second = raw[5];
        record.values.reserve(std::size_t(channels));
        for (int j = 0; j < channels; ++j)
            record.values.push_back(modbus::Trans_4Bytes_to_Float(
                raw.subspan(std::size_t(kStampBytes + kValueBytes * j)).first<kValueBytes>()));
    }
    return records;
}

QString dateText(const Record &record)
{
    return QString::number(record.year + 2000) + QLatin1Char('/') + QString::number(record.month)
           + QLatin1Char('/') + QString::number(record.day);
}

QString timeText(const Record &record)
{
    return QString::number(record.hour) + QLatin1Char(':') + QString::number(record.minute)
           + QLatin1Char(':') + QString::number(record.second);
}

QString valueText(double value)
{
    if (!std::isfinite(value))
        return QString();
    QString text = QString::number(value, 'f', 4);
    // A negative value that rounds to zero is written without a sign.
    if (text == QLatin1String("-0.0000"))
        text.remove(0, 1);
    return text;
}

QString csvRow(const Record &record)
{
    QStringList fields{dateText(record), timeText(record)};
    for (const double value : record.values)
        fields << valueText(value);
    return fields.join(QLatin1Char(','));
}

double recordDateSerial(const Record &record)
{
    return dateSerial(record.year + 2000, record.month, record.day, record.hour, record.minute,
                      record.second);
}

bool hasValidStamp(const Record &record) { return recordDateSerial(record) != 0; }

} // namespace lpdata
