// Parses arbitrary bytes as a load-profile CSV file to import. A file that
// parses holds records of its channel count with real time stamps, and
// written out again as a download writes it, parses to the same rows; a
// refused one names a line of the input and keeps no records. The bytes
// also serve as a file name the meter and group are read from.
#include "archive/lp_csv_parse.h"
#include "lpdata/channel_codes.h"
#include "lpdata/csv_file.h"
#include "lpdata/records.h"

#include <QHash>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

const QHash<QString, int> &codesByName()
{
    static const QHash<QString, int> codes = [] {
        QHash<QString, int> byName;
        for (const int code : lpdata::LPChannelCodes())
            byName.insert(lpdata::LPDataName(code), code);
        return byName;
    }();
    return codes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const archive::LoadProfileCsvParse parse = archive::parseLoadProfileCsv(bytes, codesByName());

    if (!parse.ok()) {
        if (!parse.records.empty() || parse.faultLine < 1 || parse.faultLine > bytes.count('\n') + 2
            || parse.fault.isEmpty())
            __builtin_trap();
    } else {
        const std::size_t channels = parse.channelCodes.size();
        if (channels < 1 || channels > std::size_t(lpdata::kMaxChannels))
            __builtin_trap();
        QByteArray again = "Date : \r\n" + lpdata::csvColumnLine(parse.channelCodes).toLatin1() + "\r\n";
        for (const lpdata::Record &record : parse.records) {
            if (record.values.size() != channels || !lpdata::hasValidStamp(record))
                __builtin_trap();
            again += lpdata::csvRow(record).toLatin1() + "\r\n";
        }
        const archive::LoadProfileCsvParse reparse = archive::parseLoadProfileCsv(again, codesByName());
        if (!reparse.ok() || reparse.channelCodes != parse.channelCodes
            || reparse.records.size() != parse.records.size())
            __builtin_trap();
        for (std::size_t i = 0; i < parse.records.size(); ++i) {
            if (lpdata::csvRow(reparse.records[i]) != lpdata::csvRow(parse.records[i]))
                __builtin_trap();
        }
    }

    const auto owner = archive::csvFileOwner(QString::fromLatin1(bytes));
    if (owner && (owner->serial.isEmpty() || (owner->group != 1 && owner->group != 2)))
        __builtin_trap();
    return 0;
}
