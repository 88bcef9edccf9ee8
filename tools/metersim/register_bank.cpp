#include "register_bank.h"

#include "wire_codec.h"

namespace metersim {

namespace {
constexpr std::size_t kSpaceSize = 0x10000;
}

RegisterBank::RegisterBank()
{
    for (Space *s : {&holding_, &input_}) {
        s->values.assign(kSpaceSize, 0);
        s->mapped.assign(kSpaceSize, false);
    }
}

void RegisterBank::map(RegisterKind kind, quint16 first, quint16 last)
{
    Space &s = space(kind);
    for (quint32 r = first; r <= last; ++r)
        s.mapped[r] = true;
}

bool RegisterBank::isMapped(RegisterKind kind, quint32 start, quint32 count) const
{
    if (start + count > kSpaceSize)
        return false;
    const Space &s = space(kind);
    for (quint32 r = start; r < start + count; ++r) {
        if (!s.mapped[r])
            return false;
    }
    return true;
}

bool RegisterBank::isMapped(RegisterKind kind, quint16 reg) const
{
    return space(kind).mapped[reg];
}

quint16 RegisterBank::value(RegisterKind kind, quint16 reg) const
{
    return space(kind).values[reg];
}

void RegisterBank::setValue(RegisterKind kind, quint16 reg, quint16 value)
{
    space(kind).values[reg] = value;
}

float RegisterBank::floatValue(RegisterKind kind, quint16 reg) const
{
    return registersToFloat(value(kind, reg), value(kind, static_cast<quint16>(reg + 1)));
}

void RegisterBank::setFloat(RegisterKind kind, quint16 reg, float value)
{
    const auto words = floatToRegisters(value);
    setValue(kind, reg, words[0]);
    setValue(kind, static_cast<quint16>(reg + 1), words[1]);
}

void RegisterBank::setText(RegisterKind kind, quint16 reg, const QByteArray &text, int registers)
{
    for (int i = 0; i < registers; ++i) {
        const auto byteAt = [&text](int pos) -> quint8 {
            return pos < text.size() ? static_cast<quint8>(text[pos]) : quint8(' ');
        };
        setValue(kind, static_cast<quint16>(reg + i),
                 static_cast<quint16>((byteAt(2 * i) << 8) | byteAt(2 * i + 1)));
    }
}

} // namespace metersim
