#pragma once

#include <QString>

#include <vector>

namespace meter {

// One display to set: control name, control-array index (-1 for a single
// control) and its new text.
struct TextUpdate {
    QString control;
    int index = -1;
    QString text;

    bool operator==(const TextUpdate &) const = default;
};

using TextUpdates = std::vector<TextUpdate>;

} // namespace meter
