#include "gui/meter/reading_view.h"

#include "gui/meter/reading_texts.h"
#include "gui/ui/caption.h"
#include "gui/ui/named_controls.h"
#include "meter/display_items.h"
#include "meter/value_format.h"

namespace meter {

void ReadingView::apply(const meter::TextUpdates &updates)
{
    for (const meter::TextUpdate &u : updates) {
        if (QWidget *w = controls_.find(u.control, u.index))
            batch_.set(w, u.text);
        else
            qWarning("No control named %s", qPrintable(ui::controlName(u.control, u.index)));
    }
}

void ReadingView::showSamples(const meter::Samples &samples, int displayBase)
{
    apply(meter::sampleTexts(samples, displayBase));
}

void ReadingView::showParts(const meter::Reading &reading, unsigned parts, int displayBase)
{
    if ((parts & meter::Firmware))
        apply({{QStringLiteral("txtFWver"), -1, reading.firmwareText}});
    if ((parts & meter::Identity) && reading.identity)
        apply(meter::identityTexts(*reading.identity));
    if (parts & meter::LoadProfile)
        apply(meter::lpStatusTexts(reading.lpGroups));
    if (parts & meter::ValidCounts) {
        for (const meter::LpGroup g : meter::LpGroup::all())
            if (const auto valid = reading.group(g).validRecords)
                apply({{QStringLiteral("txtLPValidIntervalNum"), int(g.index()), QString::number(*valid)}});
    }
    if (parts & meter::PhaseEnergy) {
        // Beside the phases, the totals of the main block once more.
        meter::TextUpdates totals;
        for (int i = 0; i < 5; ++i) {
            const auto q = meter::Q(meter::KwhDelivered + i);
            const auto total = reading.value(q);
            totals.push_back({QStringLiteral("txt_kWh"), displayBase + 20 + i,
                              total ? meter::valueText(q, *total) : QString()});
        }
        apply(totals);
    }
    if ((parts & meter::DisplayItems) && reading.displayItems)
        apply({{QStringLiteral("txt_Display_Item"), -1, meter::displayItemsText(*reading.displayItems)}});
}

void ReadingView::showHarmonics(const std::array<double, 32> &harmonics)
{
    apply(meter::harmonicTexts(harmonics));
}

void ReadingView::blankCO2(int displayBase)
{
    apply(meter::blankTexts({meter::Co2Factor, meter::Co2Emission}, displayBase));
}

void ReadingView::withdraw(const meter::Withdrawn &withdrawn, int displayBase)
{
    apply(meter::withdrawnTexts(withdrawn, displayBase));
}

} // namespace meter
