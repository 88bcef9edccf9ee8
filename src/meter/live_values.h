#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace meter {

struct Reading;

// The live values of one poll, named as the catalogue of quantities names
// them: a quantity's number, or a text of the meter's identity.
struct LiveValue {
    QString name;
    QString text;                  // as the window shows it; "" for a value not read
    std::optional<double> number;  // a quantity's value, when read
    bool isQuantity = false;
    // A harmonic channel's spectrum (orders 1 to 32); name is the channel's.
    std::vector<double> spectrum;
};

// The harmonic channels by their names: va, vb, vc, ia, ib, ic (0 to 5).
inline constexpr const char *kHarmonicChannelNames[6] = {"va", "vb", "vc", "ia", "ib", "ic"};
std::optional<int> harmonicChannelOf(const QString &name);
// Adds the spectrum of a channel (0..5) after the values.
void addSpectrum(std::vector<LiveValue> &values, int channel, const std::array<double, 32> &spectrum);

// The fields of a read, in a fixed order: the quantities of the window's
// measurement pages, then the meter clock, serial number, firmware, wiring
// and phase sequence. With quantities given (catalogue ids), those
// quantities in that order.
std::vector<LiveValue> liveValues(const Reading &reading, const QStringList &quantities = {});

// The catalogue ids a read gives by default.
QStringList defaultQuantityIds();

enum class ValueFormat { Text, Json, Csv };

// "name  text" lines; one JSON object on one line (numbers as the shortest
// text that reads back as the same float32, texts as strings, the meter
// clock as ISO 8601, a value not read left out, spectra as arrays of numbers
// in "harmonics"); a CSV header (names; a spectrum's columns harmonic_<channel>_<order>)
// and CSV lines (texts, quoted where needed).
QString textLines(const std::vector<LiveValue> &values);
QString jsonLine(const std::vector<LiveValue> &values, const Reading &reading);
QString csvHeader(const std::vector<LiveValue> &values);
QString csvLine(const std::vector<LiveValue> &values);

// The catalogue as lines: id, unit, group, which meters read it.
QString quantityListing();

} // namespace meter
