#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Load-profile records as the meter returns them, and their CSV rows.
namespace lpdata {

// A group records 1 to 12 channels.
inline constexpr int kMaxChannels = 12;

// A record number, or the valid-record count of a group, as a list or the
// group status shows it: a whole number from 1; nothing for any other text.
std::optional<long long> recordNumber(const QString &text);

// A record number typed into the start or stop list, checked when the list
// loses the focus: a number above the group's valid-record count is refused
// (the list then shows "1"). Empty or other text passes here: the start
// button refuses it when pressed.
bool typedRecordAccepted(const QString &text, long long validCount);

// Keeps stop >= start: the text the stop list must show once the start or
// stop list changed, or nothing when the stop stays as it is.
std::optional<QString> stopFollowingStart(const QString &startText, const QString &stopText);

// The channel count of a group as its status shows it: 1..kMaxChannels;
// nothing for any other text (a group the meter reports no channels for).
std::optional<int> channelCount(const QString &text);

// One record: its time stamp bytes as received and one value per channel.
struct Record {
    std::uint8_t year = 0; // year - 2000
    std::uint8_t month = 0;
    std::uint8_t day = 0;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::vector<double> values;
};

// The bytes of a record of that many channels: 6 time stamp bytes, then 4
// per channel. 0 for a channel count outside 1..kMaxChannels.
int recordBytes(int channels);

// Splits a block read from the meter into its records. Empty unless channels
// is 1..kMaxChannels, count >= 1 and the bytes hold exactly count records:
// an answer of another length was read with another channel count or is cut
// short, and none of its records can be trusted.
std::optional<std::vector<Record>> decodeRecords(std::span<const std::uint8_t> bytes,
                                                 int channels, int count);

// "2023/5/7" and "9:5:0": decimal, no leading zeros.
QString dateText(const Record &record);
QString timeText(const Record &record);

// A value with four decimals, "." as decimal separator and no group
// separators in every locale; an empty field for a value that is not finite.
QString valueText(double value);

// The CSV row of a record: date text, time text, then the values, joined by
// ",".
QString csvRow(const Record &record);

// The record's time stamp as a date serial, seconds included; 0 when its
// bytes form no valid date and time.
double recordDateSerial(const Record &record);

// The time stamp is a real date and time: month 1-12, a day of that month,
// hour below 24, minute and second below 60. A record without one was read
// from another group's layout or from memory that holds no record.
bool hasValidStamp(const Record &record);

} // namespace lpdata
