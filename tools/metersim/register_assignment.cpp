#include "register_assignment.h"

#include "number_text.h"

namespace metersim {

std::optional<RegisterAssignment> RegisterAssignment::parse(const QString &text, bool isFloat,
                                                            QString *error)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (colon < 0 || eq < colon) {
        *error = QStringLiteral("'%1' is not KIND:REG=VALUE").arg(text);
        return std::nullopt;
    }
    RegisterAssignment a;
    a.isFloat = isFloat;
    const QString kind = text.left(colon);
    if (kind == QLatin1String("holding"))
        a.kind = RegisterKind::Holding;
    else if (kind == QLatin1String("input"))
        a.kind = RegisterKind::Input;
    else {
        *error = QStringLiteral("register kind '%1' is neither holding nor input").arg(kind);
        return std::nullopt;
    }
    const auto reg = parseNumber(text.mid(colon + 1, eq - colon - 1), 0, 0xFFFF);
    if (!reg) {
        *error = QStringLiteral("bad register number in '%1'").arg(text);
        return std::nullopt;
    }
    a.reg = static_cast<quint16>(*reg);
    const QString value = text.mid(eq + 1);
    if (isFloat) {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok) { // inf and nan are welcome: they plant those bit patterns
            *error = QStringLiteral("bad float value in '%1'").arg(text);
            return std::nullopt;
        }
        a.number = static_cast<float>(number);
    } else {
        const auto word = parseNumber(value, 0, 0xFFFF);
        if (!word) {
            *error = QStringLiteral("'%1' needs a value from 0 to 65535").arg(text);
            return std::nullopt;
        }
        a.word = static_cast<quint16>(*word);
    }
    return a;
}

bool RegisterAssignment::applyTo(MeterModel &model, QString *error) const
{
    return isFloat ? model.plantFloat(kind, reg, number, error) : model.plant(kind, reg, word, error);
}

} // namespace metersim
