#pragma once

// The values that cross the dispatch boundary between a host and a control:
// arguments, results and persisted properties. A small subset of what such
// runtimes usually carry, enough for controls with numeric, Boolean and text
// members.

#include "phasorctl/hosting/status.h"

#include <QString>

#include <cmath>
#include <compare>
#include <cstdint>
#include <limits>
#include <variant>

namespace hosting {

// An argument passed by reference: the callee reads (and, where the member's
// contract says so, writes) the caller's variable.
template <typename T>
struct ByRef {
    T *target = nullptr;

    // Equal when they name the same variable; ordered so that Variant is too.
    auto operator<=>(const ByRef &) const = default;
};

using Variant = std::variant<std::monostate, bool, std::int32_t, float, double, QString,
                             ByRef<bool>, ByRef<std::int32_t>, ByRef<float>, ByRef<double>>;

template <typename T>
Variant byRef(T &variable)
{
    return ByRef<T>{&variable};
}

namespace detail {

// The referenced value of a by-reference argument, or the argument itself.
// A null reference yields std::monostate and is reported by the caller.
inline Variant dereferenced(const Variant &arg, bool *nullReference)
{
    *nullReference = false;
    return std::visit(
        [nullReference](const auto &v) -> Variant {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, ByRef<bool>> || std::is_same_v<V, ByRef<std::int32_t>> ||
                          std::is_same_v<V, ByRef<float>> || std::is_same_v<V, ByRef<double>>) {
                if (!v.target) {
                    *nullReference = true;
                    return std::monostate{};
                }
                return *v.target;
            } else {
                return v;
            }
        },
        arg);
}

} // namespace detail

// Converts an argument to a Single. Booleans follow the usual automation rule
// (True is -1). A finite value beyond the Single range is an overflow; NaN and
// infinities pass through unchanged for the member to judge.
inline Status toSingle(const Variant &arg, float &out)
{
    bool nullReference = false;
    const Variant value = detail::dereferenced(arg, &nullReference);
    if (nullReference)
        return Status::InvalidArgument;
    if (const auto *f = std::get_if<float>(&value)) {
        out = *f;
        return Status::Ok;
    }
    if (const auto *d = std::get_if<double>(&value)) {
        if (std::isfinite(*d) && std::fabs(*d) > double(std::numeric_limits<float>::max()))
            return Status::Overflow;
        out = static_cast<float>(*d);
        return Status::Ok;
    }
    if (const auto *i = std::get_if<std::int32_t>(&value)) {
        out = static_cast<float>(*i);
        return Status::Ok;
    }
    if (const auto *b = std::get_if<bool>(&value)) {
        out = *b ? -1.0f : 0.0f;
        return Status::Ok;
    }
    return Status::TypeMismatch;
}

// Converts an argument to a 32-bit integer. Reals are rounded half to even;
// NaN, infinities and values outside the range are an overflow. Text is parsed
// as a decimal integer.
inline Status toInt32(const Variant &arg, std::int32_t &out)
{
    bool nullReference = false;
    const Variant value = detail::dereferenced(arg, &nullReference);
    if (nullReference)
        return Status::InvalidArgument;
    if (const auto *i = std::get_if<std::int32_t>(&value)) {
        out = *i;
        return Status::Ok;
    }
    if (const auto *b = std::get_if<bool>(&value)) {
        out = *b ? -1 : 0;
        return Status::Ok;
    }
    if (const auto *s = std::get_if<QString>(&value)) {
        bool ok = false;
        const int parsed = s->trimmed().toInt(&ok);
        if (!ok)
            return Status::TypeMismatch;
        out = parsed;
        return Status::Ok;
    }
    double real = 0.0;
    if (const auto *f = std::get_if<float>(&value))
        real = *f;
    else if (const auto *d = std::get_if<double>(&value))
        real = *d;
    else
        return Status::TypeMismatch;
    const double rounded = std::nearbyint(real); // default rounding: half to even
    if (!(rounded >= double(std::numeric_limits<std::int32_t>::min()) &&
          rounded <= double(std::numeric_limits<std::int32_t>::max())))
        return Status::Overflow;
    out = static_cast<std::int32_t>(rounded);
    return Status::Ok;
}

} // namespace hosting
