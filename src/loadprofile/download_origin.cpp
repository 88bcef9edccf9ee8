#include "loadprofile/download_origin.h"

#include <QStringList>

namespace loadprofile {

namespace {

QString codesText(const std::vector<int> &codes)
{
    QStringList texts;
    for (const int code : codes)
        texts << QString::number(code);
    return texts.join(QLatin1Char(','));
}

} // namespace

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
        return {codesText(began.codes), codesText(now.codes)};
    case OriginChange::Interval:
        return {began.interval.trimmed(), now.interval.trimmed()};
    case OriginChange::None:
    case OriginChange::OtherMeter:
        break;
    }
    return {};
}

} // namespace loadprofile
