#include "unit_configs.h"

namespace metersim {

std::vector<MeterConfig> unitConfigs(const Options &options, quint64 noiseSeed)
{
    std::vector<MeterConfig> configs;
    const bool several = options.units.size() > 1;
    for (qsizetype n = 0; n < options.units.size(); ++n) {
        MeterConfig c = options.meter;
        c.unit = options.units[n];
        c.noiseSeed = noiseSeed + quint64(n);
        if (several) {
            c.phaseVoltage += double(n);
            c.current += 0.5 * double(n);
            c.serial = options.serials.isEmpty()
                ? options.meter.serial.left(13) + QByteArray::number(c.unit).rightJustified(3, '0')
                : options.serials[n];
        }
        configs.push_back(c);
    }
    return configs;
}

} // namespace metersim
