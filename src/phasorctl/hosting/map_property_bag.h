#pragma once

// A property bag held in memory: what a host fills from its saved form and
// reads back after writeProperties.

#include "phasorctl/hosting/interfaces.h"

#include <QMap>

namespace hosting {

class MapPropertyBag final : public IPropertyBag {
public:
    std::optional<Variant> read(const QString &name) const override
    {
        const auto it = values.constFind(name);
        if (it == values.constEnd())
            return std::nullopt;
        return *it;
    }
    void write(const QString &name, const Variant &value) override { values.insert(name, value); }
    void remove(const QString &name) override { values.remove(name); }

    QMap<QString, Variant> values;
};

} // namespace hosting
