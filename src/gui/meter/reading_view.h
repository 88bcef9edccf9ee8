#pragma once

#include "gui/meter/text_update.h"
#include "gui/ui/caption_batch.h"
#include "gui/ui/control_map.h"
#include "meter/reading.h"

#include <array>

namespace meter {

// The window's texts of what a meter's poll cycle read: measurement values,
// identity, firmware, load-profile status, the display sequence and the
// harmonic spectrum, at the controls that show them. The window's wiring
// hands it the poll cycle's signals; it reads nothing back. Texts are set at
// once, or, between beginBatch() and endBatch(), together at its end (see
// ui::CaptionBatch, which also leaves hidden controls until they show).
class ReadingView {
public:
    explicit ReadingView(QWidget *root) : controls_(root) {}

    // The texts of a block's values; panel indexes start at displayBase.
    void showSamples(const meter::Samples &samples, int displayBase);
    // The parts of the reading that are no plain values: identity, firmware,
    // load-profile status and valid counts, the totals beside the per-phase
    // energies, the display sequence.
    void showParts(const meter::Reading &reading, unsigned parts, int displayBase);
    void showHarmonics(const std::array<double, 32> &harmonics);
    // The CO2 values are no longer read: their boxes empty.
    void blankCO2(int displayBase);
    // What a read the meter refused would have filled: emptied.
    void withdraw(const meter::Withdrawn &withdrawn, int displayBase);

    void apply(const meter::TextUpdates &updates);

    // The texts from now on are collected, and set together by endBatch();
    // flushBatch() sets those collected so far.
    void beginBatch() { batch_.begin(); }
    void flushBatch() { batch_.flush(); }
    void endBatch() { batch_.end(); }

private:
    ui::ControlMap controls_;
    ui::CaptionBatch batch_;
};

} // namespace meter
