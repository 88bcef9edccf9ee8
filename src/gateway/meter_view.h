#pragma once

#include "i18n/ini_file.h"

#include <QJsonObject>
#include <QString>

#include <array>

namespace gateway {

struct MeterState;

// The language files the page speaks, read once from the program's folder
// (where the window finds them): "en", "zh", "ja".
class PageLanguages {
public:
    static PageLanguages load(const QString &folder);
    // The file of a code; English for any other code.
    const i18n::IniFile &file(const QString &code) const;
    // The code itself when it is one of the three, else "en".
    static QString known(const QString &code);

private:
    std::array<i18n::IniFile, 3> files_;
};

// A meter's live values as its page shows them, grouped as the window
// groups them (voltages, currents, powers, power factors, angles, frequency,
// energy, demand), in the catalogue's order within a group: the quantities
// its firmware reads, each with its caption in the language, its value as
// the window shows it ("" while not read) and its unit.
// {"serial","lang","groups":[{"caption","values":[{"id","caption","value","unit"}]}]}
QJsonObject meterView(const MeterState &state, const i18n::IniFile &language, const QString &lang);

} // namespace gateway
