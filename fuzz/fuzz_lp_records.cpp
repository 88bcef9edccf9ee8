// Decodes arbitrary load-profile blocks, a channel count and a record count
// taken from the first input bytes, and formats every record as its CSV
// row. The rest of the input also serves as a meter serial number text that
// must become one plain file name.
#include "lpdata/csv_file.h"
#include "lpdata/records.h"

#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 3)
        return 0;
    const int channels = data[0] % (lpdata::kMaxChannels + 1);
    const int count = data[1] % 8;
    const bool exactBlock = data[2] & 1;
    std::span<const std::uint8_t> bytes(data + 3, size - 3);

    const std::size_t wanted = std::size_t(count) * std::size_t(lpdata::recordBytes(channels));
    if (exactBlock && bytes.size() >= wanted)
        bytes = bytes.first(wanted);
    const bool valid = channels >= 1 && count >= 1 && bytes.size() == wanted;

    const auto records = lpdata::decodeRecords(bytes, channels, count);
    if (records.has_value() != valid)
        __builtin_trap();
    if (records) {
        if (records->size() != std::size_t(count))
            __builtin_trap();
        for (const lpdata::Record &record : *records) {
            if (record.values.size() != std::size_t(channels))
                __builtin_trap();
            if (lpdata::csvRow(record).count(QLatin1Char(',')) != channels + 1)
                __builtin_trap();
            const double serial = lpdata::recordDateSerial(record);
            if (!std::isfinite(serial) || serial < 0)
                __builtin_trap();
        }
    }

    const QString serialPart = lpdata::csvSerialPart(QString::fromLatin1(
        reinterpret_cast<const char *>(data + 3), qsizetype(size - 3)));
    if (serialPart.isEmpty() || serialPart.startsWith(QLatin1Char('.'))
        || serialPart.contains(QLatin1Char('/')) || serialPart.contains(QLatin1Char('\\'))
        || serialPart.contains(QLatin1String("..")))
        __builtin_trap();
    return 0;
}
