#include "gateway/meter_view.h"

#include "gateway/meter_publisher.h"
#include "i18n/language_files.h"
#include "meter/quantities.h"
#include "meter/value_format.h"
#include "trend/quantity_captions.h"

#include <QJsonArray>

namespace gateway {

namespace {

constexpr const char *kCodes[3] = {"en", "zh", "ja"}; // in the order of i18n::Language

int indexOf(const QString &code)
{
    for (int i = 0; i < 3; ++i)
        if (code == QLatin1String(kCodes[i]))
            return i;
    return 0;
}

using G = meter::QuantityGroup;
constexpr G kShown[] = {G::Voltage, G::Current, G::Power,  G::PowerFactor,
                        G::Angle,   G::Frequency, G::Energy, G::Demand};

} // namespace

PageLanguages PageLanguages::load(const QString &folder)
{
    PageLanguages languages;
    const i18n::LanguageFiles found = i18n::findLanguageFiles(folder);
    for (int i = 0; i < 3; ++i) {
        const auto language = i18n::Language(i);
        if (found.available(language))
            languages.files_[std::size_t(i)] = i18n::IniFile::load(found.path(language), i18n::codePageOf(language));
    }
    return languages;
}

const i18n::IniFile &PageLanguages::file(const QString &code) const { return files_[std::size_t(indexOf(code))]; }

QString PageLanguages::known(const QString &code) { return QLatin1String(kCodes[indexOf(code)]); }

QJsonObject meterView(const MeterState &state, const i18n::IniFile &language, const QString &lang)
{
    QJsonArray groups;
    for (const G group : kShown) {
        QJsonArray values;
        for (int q = 0; q < meter::kQuantityCount; ++q) {
            const meter::Quantity &quantity = meter::quantity(meter::Q(q));
            if (quantity.group != group || !meter::readsQuantity(meter::Q(q), state.firmwareNumber, state.displayBase))
                continue;
            const std::optional<double> value = state.reading.value(meter::Q(q));
            values.append(QJsonObject{{QStringLiteral("id"), quantity.id},
                                      {QStringLiteral("caption"), trend::quantityCaption(meter::Q(q), language)},
                                      {QStringLiteral("value"), value ? meter::valueText(meter::Q(q), *value) : QString()},
                                      {QStringLiteral("unit"), quantity.unit}});
        }
        if (!values.isEmpty())
            groups.append(QJsonObject{{QStringLiteral("caption"), trend::groupCaption(group, language)},
                                      {QStringLiteral("values"), values}});
    }
    return {{QStringLiteral("serial"), state.serial},
            {QStringLiteral("lang"), PageLanguages::known(lang)},
            {QStringLiteral("groups"), groups}};
}

} // namespace gateway
