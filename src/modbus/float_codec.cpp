#include "float_codec.h"

#include <cmath>

namespace modbus {

double Trans_4Bytes_to_Float(std::span<const std::uint8_t, 4> b)
{
    int s = b[2];
    const int t = b[3];
    const int m1 = b[0];
    const int m0 = b[1];

    const bool negative = s >= 128;
    if (negative)
        s -= 128;
    const int e = 2 * s + (t >= 128 ? 1 : 0);
    const int h = t % 128;
    const bool mantissaZero = h == 0 && m1 == 0 && m0 == 0;
    const double fraction = h * std::ldexp(1.0, -7) + m1 * std::ldexp(1.0, -15)
                            + m0 * std::ldexp(1.0, -23);

    double value;
    if (e == 0)
        value = mantissaZero ? 0.0 : std::ldexp(fraction, -126);
    else if (e == 255)
        value = mantissaZero ? 1.0 : 0.0;
    else
        value = std::ldexp(1.0 + fraction, e - 127);

    return negative ? value * -1.0 : value;
}

FloatBytes Trans_Float_to_4Bytes(double x)
{
    if (x == 0.0 || std::isnan(x))
        return {0, 0, 0, 0};

    const bool negative = x < 0;
    double magnitude = std::fabs(x);

    int e = 127;
    if (magnitude >= 2) {
        do {
            magnitude /= 2;
            ++e;
        } while (e < 255 && magnitude >= 2);
    } else if (magnitude < 1) {
        do {
            magnitude *= 2;
            --e;
        } while (magnitude < 1 && e > 0);
    }

    int m2 = 0, m1 = 0, m0 = 0;
    if (e != 255) {
        double f = e > 0 ? magnitude - 1 : magnitude / 2;
        f *= 128;
        m2 = static_cast<int>(f);
        f -= m2;
        f *= 256;
        m1 = static_cast<int>(f);
        f -= m1;
        f *= 256;
        m0 = static_cast<int>(f);
    }

    int first;
    if (e % 2 == 1) {
        m2 += 128;
        first = (e - 1) / 2;
    } else {
        first = e / 2;
    }
    if (negative)
        first += 128;

    return {static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(m2),
            static_cast<std::uint8_t>(m1), static_cast<std::uint8_t>(m0)};
}

std::array<std::uint8_t, 4> floatToRegisterBytes(double x)
{
    const FloatBytes f = Trans_Float_to_4Bytes(x);
    return {f[2], f[3], f[0], f[1]};
}

} // namespace modbus
