#pragma once

#include <QList>

#include <cstdint>
#include <vector>

namespace metersim {

enum class RegisterKind { Holding, Input };

// The meter's two register spaces: which addresses exist and what they hold.
// Every address 0..0xFFFF has storage; only mapped ones may be read or written.
class RegisterBank {
public:
    RegisterBank();

    void map(RegisterKind kind, quint16 first, quint16 last);
    // True when every register of start .. start + count - 1 is mapped; a block
    // that runs past 0xFFFF is not.
    bool isMapped(RegisterKind kind, quint32 start, quint32 count) const;
    bool isMapped(RegisterKind kind, quint16 reg) const;

    quint16 value(RegisterKind kind, quint16 reg) const;
    void setValue(RegisterKind kind, quint16 reg, quint16 value);
    // Floats in two registers, low-order word at reg.
    float floatValue(RegisterKind kind, quint16 reg) const;
    void setFloat(RegisterKind kind, quint16 reg, float value);
    // ASCII text, one character per byte, high byte first; padded with blanks.
    void setText(RegisterKind kind, quint16 reg, const QByteArray &text, int registers);

private:
    struct Space {
        std::vector<quint16> values;
        std::vector<bool> mapped;
    };
    Space &space(RegisterKind kind) { return kind == RegisterKind::Holding ? holding_ : input_; }
    const Space &space(RegisterKind kind) const
    {
        return kind == RegisterKind::Holding ? holding_ : input_;
    }

    Space holding_;
    Space input_;
};

} // namespace metersim
