#include "meter/live_values.h"

#include "meter/measurement_decoders.h"
#include "meter/quantities.h"
#include "meter/reading.h"
#include "meter/value_format.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace meter {

namespace {

using meter::Q;

// The quantities a read gives unless others are asked for: those of the
// measurement pages and the meter's totals, ratios and CO2.
constexpr Q kDefaultRanges[][2] = {{meter::VoltageLnA, meter::Frequency},
                                   {meter::KwhDelivered, meter::Kvah},
                                   {meter::DemandTimeLeft, meter::Co2Factor}};

constexpr const char *kIdentityFields[] = {"meter_time", "serial_number", "firmware", "wiring",
                                           "phase_sequence"};

QString identityText(const meter::Reading &reading, int field)
{
    if (field == 2)
        return reading.firmwareText;
    if (!reading.identity)
        return QString();
    const meter::MeterIdentity &identity = *reading.identity;
    switch (field) {
    case 0: return identity.clock ? meter::clockText(*identity.clock) : QString();
    case 1: return identity.serial;
    case 3: return meter::wiringText(identity.wiringCode);
    default: return meter::phaseSequenceText(identity.phaseSequenceCode);
    }
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The shortest decimal text that reads back as the same float32, as a
// double; NaN and the infinities as they are.
double shortestSingle(double value)
{
    return std::isfinite(value) ? meter::float32Text(value).toDouble() : value;
}

const char *groupName(meter::QuantityGroup group)
{
    using G = meter::QuantityGroup;
    switch (group) {
    case G::Voltage: return "voltage";
    case G::Current: return "current";
    case G::Power: return "power";
    case G::PowerFactor: return "power factor";
    case G::Angle: return "angle";
    case G::Frequency: return "frequency";
    case G::Energy: return "energy";
    case G::Demand: return "demand";
    case G::Ratio: return "ratio";
    case G::CO2: return "CO2";
    case G::Thd: return "THD";
    }
    return "";
}

const char *readByText(meter::ReadBy readBy)
{
    switch (readBy) {
    case meter::ReadBy::Every: return "every meter";
    case meter::ReadBy::OlderFirmware: return "firmware before 5900";
    case meter::ReadBy::CO2Firmware: return "firmware with CO2";
    }
    return "";
}

} // namespace

std::optional<int> harmonicChannelOf(const QString &name)
{
    for (int k = 0; k < 6; ++k)
        if (name == QLatin1String(kHarmonicChannelNames[k]))
            return k;
    return std::nullopt;
}

void addSpectrum(std::vector<LiveValue> &values, int channel, const std::array<double, 32> &spectrum)
{
    if (channel < 0 || channel > 5)
        return;
    LiveValue value;
    value.name = QLatin1String(kHarmonicChannelNames[channel]);
    value.spectrum.assign(spectrum.begin(), spectrum.end());
    values.push_back(std::move(value));
}

namespace {

QString spectrumText(double value) { return meter::formatFixed(value, 5); }

} // namespace

QStringList defaultQuantityIds()
{
    QStringList ids;
    for (const auto &range : kDefaultRanges)
        for (int q = range[0]; q <= range[1]; ++q)
            ids << meter::quantity(Q(q)).id;
    return ids;
}

std::vector<LiveValue> liveValues(const meter::Reading &reading, const QStringList &quantities)
{
    std::vector<LiveValue> values;
    for (const QString &id : quantities.isEmpty() ? defaultQuantityIds() : quantities) {
        const std::optional<Q> q = meter::findQuantity(id);
        if (!q)
            continue;
        const std::optional<double> value = reading.value(*q);
        values.push_back({id, value ? meter::valueText(*q, *value) : QString(), value, true, {}});
    }
    if (quantities.isEmpty())
        for (int field = 0; field < int(std::size(kIdentityFields)); ++field)
            values.push_back({QLatin1String(kIdentityFields[field]), identityText(reading, field), std::nullopt,
                              false, {}});
    return values;
}

QString textLines(const std::vector<LiveValue> &values)
{
    QString out;
    for (const LiveValue &v : values) {
        if (v.spectrum.empty()) {
            out += v.name.leftJustified(20) + v.text + QLatin1Char('\n');
            continue;
        }
        QStringList texts;
        for (const double h : v.spectrum)
            texts << spectrumText(h);
        out += (QStringLiteral("harmonics_") + v.name).leftJustified(20) + texts.join(QLatin1Char(' ')) + QLatin1Char('\n');
    }
    return out;
}

QString jsonLine(const std::vector<LiveValue> &values, const meter::Reading &reading)
{
    QJsonObject object;
    QJsonObject harmonics;
    for (const LiveValue &v : values) {
        if (!v.spectrum.empty()) {
            QJsonArray orders;
            for (const double h : v.spectrum)
                orders.append(shortestSingle(h));
            harmonics.insert(v.name, orders);
        } else if (v.isQuantity) {
            if (v.number)
                object.insert(v.name, shortestSingle(*v.number));
        } else if (v.name == QLatin1String("meter_time")) {
            if (const auto clock = reading.identity && reading.identity->clock ? reading.identity->clock->dateTime() : std::nullopt)
                object.insert(v.name, clock->toString(Qt::ISODate));
        } else if (!v.text.isEmpty()) {
            object.insert(v.name, v.text);
        }
    }
    if (!harmonics.isEmpty())
        object.insert(QStringLiteral("harmonics"), harmonics);
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + QLatin1Char('\n');
}

QString csvHeader(const std::vector<LiveValue> &values)
{
    QStringList names;
    for (const LiveValue &v : values) {
        if (v.spectrum.empty())
            names << v.name;
        for (std::size_t h = 0; h < v.spectrum.size(); ++h)
            names << QStringLiteral("harmonic_%1_%2").arg(v.name).arg(h + 1);
    }
    return names.join(QLatin1Char(',')) + QLatin1Char('\n');
}

QString csvLine(const std::vector<LiveValue> &values)
{
    QStringList texts;
    for (const LiveValue &v : values) {
        if (v.spectrum.empty())
            texts << csvField(v.text);
        for (const double h : v.spectrum)
            texts << spectrumText(h);
    }
    return texts.join(QLatin1Char(',')) + QLatin1Char('\n');
}

QString quantityListing()
{
    QString out;
    for (const meter::Quantity &q : meter::quantities())
        out += q.id.leftJustified(20) + q.unit.leftJustified(8) + QString::fromLatin1(groupName(q.group)).leftJustified(14)
               + QLatin1String(readByText(q.readBy)) + QLatin1Char('\n');
    return out;
}

} // namespace meter
