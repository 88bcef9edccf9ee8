#include "polling/reading_view.h"

#include "polling/display_items.h"
#include "polling/reading_texts.h"
#include "polling/value_format.h"
#include "ui/caption.h"
#include "ui/named_controls.h"

void ReadingView::apply(const polling::TextUpdates &updates)
{
    for (const polling::TextUpdate &u : updates) {
        if (QWidget *w = controls_.find(u.control, u.index))
            setCaption(w, u.text);
        else
            qWarning("No control named %s", qPrintable(controlName(u.control, u.index)));
    }
}

void ReadingView::showSamples(const polling::Samples &samples, int displayBase)
{
    apply(polling::sampleTexts(samples, displayBase));
}

void ReadingView::showParts(const polling::Reading &reading, unsigned parts, int displayBase)
{
    if ((parts & polling::Firmware))
        apply({{QStringLiteral("txtFWver"), -1, reading.firmwareText}});
    if ((parts & polling::Identity) && reading.identity)
        apply(polling::identityTexts(*reading.identity));
    if (parts & polling::LoadProfile)
        apply(polling::lpStatusTexts(reading.lpGroups));
    if (parts & polling::ValidCounts) {
        for (int g = 0; g < 2; ++g)
            if (const auto valid = reading.lpGroups[std::size_t(g)].validRecords)
                apply({{QStringLiteral("txtLPValidIntervalNum"), g, QString::number(*valid)}});
    }
    if (parts & polling::PhaseEnergy) {
        // Beside the phases, the totals of the main block once more.
        polling::TextUpdates totals;
        for (int i = 0; i < 5; ++i) {
            const auto q = polling::Q(polling::KwhDelivered + i);
            const auto total = reading.value(q);
            totals.push_back({QStringLiteral("txt_kWh"), displayBase + 20 + i,
                              total ? polling::valueText(q, *total) : QString()});
        }
        apply(totals);
    }
    if ((parts & polling::DisplayItems) && reading.displayItems)
        apply({{QStringLiteral("txt_Display_Item"), -1, polling::displayItemsText(*reading.displayItems)}});
}

void ReadingView::showHarmonics(const std::array<double, 32> &harmonics)
{
    apply(polling::harmonicTexts(harmonics));
}

void ReadingView::blankCO2(int displayBase)
{
    apply(polling::blankTexts({polling::Co2Factor, polling::Co2Emission}, displayBase));
}

void ReadingView::withdraw(const polling::Withdrawn &withdrawn, int displayBase)
{
    apply(polling::withdrawnTexts(withdrawn, displayBase));
}
