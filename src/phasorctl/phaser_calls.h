#pragma once

// Typed calls of Phaser's members through the dispatch interface, for hosts
// that hold the control as a hosting::IControl.

#include "phasorctl/gyroscribe_typelib.h"

#include <array>

namespace gyroscribe {

// The arguments of SetPwrData, in their order.
struct PwrData {
    float sngVa = 0, sngVb = 0, sngVc = 0;
    float sngDeg_Va = 0, sngDeg_Vb = 0, sngDeg_Vc = 0;
    float sngIa = 0, sngIb = 0, sngIc = 0;
    float sngDeg_Ia = 0, sngDeg_Ib = 0, sngDeg_Ic = 0;
};

// SetPwrData with its twelve Singles by reference; *drawn receives its
// Boolean result (false after the control reported an error).
inline hosting::Status callSetPwrData(hosting::IControl &control, PwrData &data, bool *drawn)
{
    std::array<hosting::Variant, SetPwrDataArgumentCount> args{
        hosting::byRef(data.sngVa),     hosting::byRef(data.sngVb),
        hosting::byRef(data.sngVc),     hosting::byRef(data.sngDeg_Va),
        hosting::byRef(data.sngDeg_Vb), hosting::byRef(data.sngDeg_Vc),
        hosting::byRef(data.sngIa),     hosting::byRef(data.sngIb),
        hosting::byRef(data.sngIc),     hosting::byRef(data.sngDeg_Ia),
        hosting::byRef(data.sngDeg_Ib), hosting::byRef(data.sngDeg_Ic)};
    hosting::Variant result;
    const hosting::Status status =
        control.invoke(dispid::SetPwrData, hosting::InvokeKind::Method, args, &result);
    if (drawn) {
        const bool *value = std::get_if<bool>(&result);
        *drawn = status == hosting::Status::Ok && value && *value;
    }
    return status;
}

inline hosting::Status getEnlargeDirection(hosting::IControl &control, std::int32_t *direction)
{
    hosting::Variant result;
    const hosting::Status status =
        control.invoke(dispid::EnlargeDirection, hosting::InvokeKind::PropertyGet, {}, &result);
    if (status == hosting::Status::Ok && direction)
        return hosting::toInt32(result, *direction);
    return status;
}

inline hosting::Status putEnlargeDirection(hosting::IControl &control, std::int32_t direction)
{
    hosting::Variant value = direction;
    return control.invoke(dispid::EnlargeDirection, hosting::InvokeKind::PropertyPut,
                          std::span<hosting::Variant>(&value, 1), nullptr);
}

} // namespace gyroscribe
