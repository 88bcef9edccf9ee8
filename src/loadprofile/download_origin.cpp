#include "loadprofile/download_origin.h"

#include "lpdata/channel_codes.h"
#include "meter/lp_status.h"
#include "meter/reading.h"

#include <QStringList>

namespace loadprofile {

DownloadOrigin originOf(const meter::Reading &reading, meter::LpGroup g)
{
    const meter::LPGroupStatus &status = reading.group(g);
    DownloadOrigin origin;
    origin.serial = reading.identity ? reading.identity->serial : QString();
    origin.group = g;
    if (status.channels >= 1 && int(status.channels) <= meter::lpMaxChannels(g))
        origin.channels = int(status.channels);
    origin.codes.assign(status.codes.begin(), status.codes.begin() + origin.channels);
    origin.interval = meter::lpIntervalText(status.intervalCode);
    return origin;
}

long long validRecords(const meter::Reading &reading, meter::LpGroup g)
{
    return reading.group(g).validRecords.value_or(0);
}

OriginChange originChange(const DownloadOrigin &began, const DownloadOrigin &now)
{
    // An empty serial is a meter not read yet, never the same meter.
    if (began.serial.trimmed().isEmpty() || began.serial != now.serial || began.group != now.group)
        return OriginChange::OtherMeter;
    if (began.channels != now.channels)
        return OriginChange::Channels;
    if (began.codes != now.codes)
        return OriginChange::Codes;
    if (began.interval.trimmed() != now.interval.trimmed())
        return OriginChange::Interval;
    return OriginChange::None;
}

std::pair<QString, QString> changedValues(OriginChange change, const DownloadOrigin &began,
                                          const DownloadOrigin &now)
{
    switch (change) {
    case OriginChange::Channels:
        return {QString::number(began.channels), QString::number(now.channels)};
    case OriginChange::Codes:
        return {lpdata::channelCodesText(began.codes), lpdata::channelCodesText(now.codes)};
    case OriginChange::Interval:
        return {began.interval.trimmed(), now.interval.trimmed()};
    case OriginChange::None:
    case OriginChange::OtherMeter:
        break;
    }
    return {};
}

} // namespace loadprofile
