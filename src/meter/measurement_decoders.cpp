#include "meter/measurement_decoders.h"

#include "meter/value_format.h"

namespace meter {

namespace {

// count floats from offset as the quantities first, first + 1, ...
void floats(Samples &out, std::span<const std::uint8_t> block, std::size_t offset, Q first, int count)
{
    for (int i = 0; i < count; ++i)
        out.push_back({Q(first + i), floatAt(block, offset + 4 * std::size_t(i))});
}


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

std::optional<MainBlock> mainBlockValues(std::span<const std::uint8_t> block)
{
    if (block.size() < kMainBlockBytes)
        return std::nullopt;
    MainBlock main;
    Samples &s = main.samples;
    floats(s, block, 372, CurrentA, 4);
    floats(s, block, 388, KwA, 4);
    floats(s, block, 404, KvarA, 4);
    floats(s, block, 420, KvaA, 4);
    floats(s, block, 452, AngleVA, 3);
    floats(s, block, 464, AngleIA, 3);
    floats(s, block, 436, PfA, 4);
    floats(s, block, 340, VoltageLnA, 4);
    floats(s, block, 356, VoltageLlAb, 4);
    floats(s, block, 480, KwhDelivered, 5);
    // The meter clock: the low bytes of six holding registers.
    MeterClock clock;
    for (std::size_t i = 0; i < 6; ++i)
        clock.fields[i] = block[71 + 2 * i];
    main.identity.clock = clock;
    main.identity.serial = meterText(block.subspan(324, 16));
    main.identity.wiringCode = block[477];
    main.identity.phaseSequenceCode = block[479];
    return main;
}

std::optional<Samples> phaseEnergyValues(std::span<const std::uint8_t> block)
{
    if (block.size() < 60)
        return std::nullopt;
    Samples out;
    for (int p = 0; p < 3; ++p)
        for (int q = 0; q < 5; ++q)
            out.push_back({Q(PhaseEnergyA + 5 * p + q), floatAt(block, std::size_t(12 * q + 4 * p))});
    return out;
}

std::optional<Samples> demandValues(std::span<const std::uint8_t> block)
{
    if (block.size() < 10)
        return std::nullopt;
    return Samples{{DemandTimeLeft, double(u16At(block, 0))},
                   {DemandKw, floatAt(block, 2)},
                   {DemandMaxKw, floatAt(block, 6)}};
}

std::optional<Samples> frequencyValues(std::span<const std::uint8_t> block)
{
    if (block.size() < 4)
        return std::nullopt;
    return Samples{{Frequency, floatAt(block, 0)}};
}

std::optional<Samples> ratioValues(std::span<const std::uint8_t> block)
{
    if (block.size() < 4)
        return std::nullopt;
    return Samples{{PtRatio, u16At(block, 0) / 10.0}, {CtRatio, double(u16At(block, 2))}};
}

std::optional<Samples> floatRatioValues(std::span<const std::uint8_t> block)
{
    if (block.size() < 8)
        return std::nullopt;
    return Samples{{PtRatioFloat, floatAt(block, 0)}, {CtRatioFloat, floatAt(block, 4)}};
}

std::optional<Samples> co2Values(std::span<const std::uint8_t> block)
{
    if (block.size() < 16)
        return std::nullopt;
    return Samples{{Co2Emission, floatAt(block, 4)}, {Co2Factor, floatAt(block, 12)}};
}

std::optional<std::array<double, 24>> thdValues(std::span<const std::uint8_t> block)
{
    if (block.size() < 96)
        return std::nullopt;
    std::array<double, 24> table{};
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = floatAt(block, 4 * i);
    return table;
}

Samples thdSamples(const std::array<double, 24> &table)
{
    Samples out;
    for (int g = 0; g < 3; ++g)
        for (int k = 0; k < 6; ++k)
            out.push_back({Q(Thd + 6 * g + k), table[std::size_t(8 * g + k)]});
    return out;
}

std::optional<std::array<double, 32>> harmonicValues(std::span<const std::uint8_t> block)
{
    if (block.size() < 128)
        return std::nullopt;
    std::array<double, 32> table{};
    for (std::size_t h = 0; h < table.size(); ++h)
        table[h] = floatAt(block, 4 * h);
    return table;
}

} // namespace meter
