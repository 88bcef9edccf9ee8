#include "polling/measurement_decoders.h"

#include "polling/value_format.h"

namespace polling {

namespace {

// Four floats from offset into control(base + 0..count-1).
void floatRow(TextUpdates &out, std::span<const std::uint8_t> block, std::size_t offset,
              const char *control, int base, int count, int decimals)
{
    for (int i = 0; i < count; ++i)
        out.push_back({QString::fromLatin1(control), base + i,
                       formatFixed(floatAt(block, offset + 4 * std::size_t(i)), decimals)});
}

QString number(unsigned value) { return QString::number(value); }

} // namespace

QString wiringText(unsigned code)
{
    switch (code) {
    case 0: return QStringLiteral("none");
    case 1: return QStringLiteral("1P2W");
    case 2: return QStringLiteral("1P3W");
    case 3: return QStringLiteral("3P3W  2CT");
    case 4: return QStringLiteral("3P3W  3CT");
    case 5: return QStringLiteral("3P4W");
    default: return {};
    }
}

QString phaseSequenceText(unsigned code)
{
    switch (code) {
    case 0: return QStringLiteral("none");
    case 1: return QStringLiteral("ABC");
    case 2: return QStringLiteral("CBA");
    default: return QStringLiteral("error");
    }
}

TextUpdates DecodeMainBlock(std::span<const std::uint8_t> block, int displayBase)
{
    TextUpdates out;
    if (block.size() < kMainBlockBytes)
        return out;
    const int b = displayBase;
    floatRow(out, block, 372, "txt_I_Result", b, 4, 5);
    floatRow(out, block, 388, "txt_W_Result", b, 4, 7);
    floatRow(out, block, 404, "txt_Var_Result", b, 4, 7);
    floatRow(out, block, 420, "txt_VA_Result", b, 4, 7);
    floatRow(out, block, 452, "txt_V_Angle", b, 3, 5);
    floatRow(out, block, 464, "txt_I_Angle", b, 3, 5);
    floatRow(out, block, 436, "txt_PF_Result", b, 4, 5);
    floatRow(out, block, 340, "txt_V_N", b, 4, 5);
    floatRow(out, block, 356, "txt_V_B", b, 4, 5);
    floatRow(out, block, 480, "txt_kWh", b, 5, 4);

    // Meter clock: the low bytes of six holding registers.
    const QString clock = number(block[71] + 2000u) + u'/' + number(block[73]) + u'/'
                          + number(block[75]) + QStringLiteral("  ") + number(block[77]) + u':'
                          + number(block[79]) + u':' + number(block[81]);
    out.push_back({QStringLiteral("Text5"), -1, clock});
    out.push_back({QStringLiteral("txtMeterSerial"), -1, meterText(block.subspan(324, 16))});

    const QString wiring = wiringText(block[477]);
    if (!wiring.isEmpty())
        out.push_back({QStringLiteral("txt_Wiring"), -1, wiring});
    out.push_back({QStringLiteral("txt_Phasor"), -1, phaseSequenceText(block[479])});
    return out;
}

TextUpdates DecodePhaseEnergy(std::span<const std::uint8_t> block, int displayBase,
                              const std::array<QString, 5> &totalTexts)
{
    TextUpdates out;
    if (block.size() < 60)
        return out;
    for (int p = 0; p < 3; ++p)
        for (int q = 0; q < 5; ++q)
            out.push_back({QStringLiteral("txt_kWh"), displayBase + 5 + 5 * p + q,
                           formatFixed(floatAt(block, std::size_t(12 * q + 4 * p)), 4)});
    for (int i = 0; i < 5; ++i)
        out.push_back({QStringLiteral("txt_kWh"), displayBase + 20 + i, totalTexts[std::size_t(i)]});
    return out;
}

TextUpdates decodeDemand(std::span<const std::uint8_t> block)
{
    if (block.size() < 10)
        return {};
    return {{QStringLiteral("txt_Dmd"), 6, number(u16At(block, 0))},
            {QStringLiteral("txt_Dmd"), 0, formatFixed(floatAt(block, 2), 5)},
            {QStringLiteral("txt_Dmd"), 1, formatFixed(floatAt(block, 6), 5)}};
}

TextUpdates decodeFrequency(std::span<const std::uint8_t> block, int displayBase)
{
    if (block.size() < 4)
        return {};
    return {{QStringLiteral("txtFrequency"), displayBase, formatFixed(floatAt(block, 0), 2)}};
}

TextUpdates decodeRatios(std::span<const std::uint8_t> block)
{
    if (block.size() < 4)
        return {};
    return {{QStringLiteral("txt_PTRatio"), -1, formatFixed(u16At(block, 0) / 10.0, 1)},
            {QStringLiteral("txt_CTRatio"), -1, formatFixed(u16At(block, 2), 1)}};
}

TextUpdates decodeFloatRatios(std::span<const std::uint8_t> block)
{
    if (block.size() < 8)
        return {};
    return {{QStringLiteral("txtPTRatio2"), -1, formatFixed(floatAt(block, 0), 4)},
            {QStringLiteral("txtCTRatio2"), -1, formatFixed(floatAt(block, 4), 4)}};
}

TextUpdates DecodeCO2(std::span<const std::uint8_t> block)
{
    if (block.size() < 16)
        return {};
    return {{QStringLiteral("txtCO2_out"), -1, formatFixed(floatAt(block, 4), 4)},
            {QStringLiteral("txtCO2"), -1, formatFixed(floatAt(block, 12), 6)}};
}

TextUpdates DecodeTHD(std::span<const std::uint8_t> block, std::array<double, 24> &table)
{
    TextUpdates out;
    if (block.size() < 96)
        return out;
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = floatAt(block, 4 * i);
    for (int g = 0; g < 3; ++g)
        for (int k = 0; k < 6; ++k)
            out.push_back({QStringLiteral("txtTHD"), 6 * g + k,
                           formatFixed(table[std::size_t(8 * g + k)], 5)});
    return out;
}

TextUpdates DecodeHarmonic(std::span<const std::uint8_t> block, bool stillSelected,
                           std::array<double, 32> &table)
{
    TextUpdates out;
    if (block.size() < 128)
        return out;
    for (std::size_t h = 0; h < table.size(); ++h) {
        table[h] = floatAt(block, 4 * h);
        if (stillSelected)
            out.push_back({QStringLiteral("txtHarmonic"), int(h), formatFixed(table[h], 5)});
    }
    return out;
}

} // namespace polling
