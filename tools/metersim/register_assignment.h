#pragma once

#include "meter_model.h"

#include <QString>

#include <optional>

namespace metersim {

// KIND:REG=VALUE, as given to --u16, --float, set and setf. KIND is holding or
// input, REG decimal or 0x hex; VALUE a 16-bit number or a float.
struct RegisterAssignment {
    RegisterKind kind = RegisterKind::Holding;
    quint16 reg = 0;
    bool isFloat = false;
    quint16 word = 0;
    float number = 0;

    static std::optional<RegisterAssignment> parse(const QString &text, bool isFloat, QString *error);
    bool applyTo(MeterModel &model, QString *error) const;
};

} // namespace metersim
