#include "fault_rules.h"

#include "number_text.h"

#include <QStringList>

namespace metersim {

namespace {

bool parseAction(const QString &text, FaultRule &rule, QString *error)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    const QString kind = parts.first();
    struct Plain { const char *name; FaultRule::Action action; };
    static const Plain plain[] = {{"drop", FaultRule::Action::Drop},
                                  {"crc", FaultRule::Action::Crc},
                                  {"address", FaultRule::Action::Address},
                                  {"close", FaultRule::Action::Close}};
    for (const Plain &p : plain) {
        if (kind == QLatin1String(p.name)) {
            if (parts.size() != 1) {
                *error = QStringLiteral("%1 takes no argument").arg(kind);
                return false;
            }
            rule.action = p.action;
            return true;
        }
    }
    struct WithArgs { const char *name; FaultRule::Action action; int args; qint64 min1, max1; };
    static const WithArgs withArgs[] = {
        {"delay", FaultRule::Action::Delay, 1, 0, 600000},
        {"short", FaultRule::Action::Short, 1, 0, 1000},
        {"exception", FaultRule::Action::Exception, 1, 1, 255},
        {"split", FaultRule::Action::Split, 2, 1, 1000},
        {"garbage", FaultRule::Action::Garbage, 1, 1, 1000},
    };
    for (const WithArgs &w : withArgs) {
        if (kind != QLatin1String(w.name))
            continue;
        if (parts.size() != 1 + w.args) {
            *error = QStringLiteral("%1 needs %2 argument(s)").arg(kind).arg(w.args);
            return false;
        }
        const auto a1 = parseNumber(parts[1], w.min1, w.max1);
        if (!a1) {
            *error = QStringLiteral("bad argument '%1' of %2").arg(parts[1], kind);
            return false;
        }
        rule.action = w.action;
        rule.arg1 = static_cast<int>(*a1);
        if (w.args == 2) {
            const auto a2 = parseNumber(parts[2], 0, 600000);
            if (!a2) {
                *error = QStringLiteral("bad pause '%1' of %2").arg(parts[2], kind);
                return false;
            }
            rule.arg2 = static_cast<int>(*a2);
        }
        return true;
    }
    *error = QStringLiteral("unknown fault kind '%1'").arg(kind);
    return false;
}

bool parseSelector(const QString &text, FaultRule &rule, QString *error)
{
    if (text == QLatin1String("all")) {
        rule.selector = FaultRule::Selector::All;
        return true;
    }
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    const QString name = text.left(eq);
    const QString value = eq < 0 ? QString() : text.mid(eq + 1);
    if (name == QLatin1String("nth") || name == QLatin1String("every")) {
        const auto n = parseNumber(value, 1, std::numeric_limits<qint64>::max());
        if (!n) {
            *error = QStringLiteral("bad count in '%1'").arg(text);
            return false;
        }
        rule.selector = name == QLatin1String("nth") ? FaultRule::Selector::Nth
                                                     : FaultRule::Selector::Every;
        rule.n = static_cast<quint64>(*n);
        return true;
    }
    if (name == QLatin1String("reg")) {
        const QStringList parts = value.split(QLatin1Char(':'));
        const auto function = parts.size() == 2 ? parseNumber(parts[0], 0, 255) : std::nullopt;
        const auto start = parts.size() == 2 ? parseNumber(parts[1], 0, 0xFFFF) : std::nullopt;
        if (!function || !start || (*function != 3 && *function != 4 && *function != 16)) {
            *error = QStringLiteral("'%1' must be reg=FC:START with FC 3, 4 or 16").arg(text);
            return false;
        }
        rule.selector = FaultRule::Selector::Register;
        rule.function = static_cast<quint8>(*function);
        rule.start = static_cast<quint16>(*start);
        return true;
    }
    *error = QStringLiteral("unknown selector '%1'").arg(text);
    return false;
}

// The conditions after the selector: times=K and unit=N, each at most once.
bool parseConditions(const QStringList &conditions, FaultRule &rule, const QString &text, QString *error)
{
    bool seen[2] = {false, false};
    for (const QString &condition : conditions) {
        const bool times = condition.startsWith(QLatin1String("times="));
        const bool unit = condition.startsWith(QLatin1String("unit="));
        if ((!times && !unit) || seen[unit ? 1 : 0]) {
            *error = QStringLiteral("expected times=K or unit=N, once each, after ',' in '%1'").arg(text);
            return false;
        }
        seen[unit ? 1 : 0] = true;
        const auto n = times ? parseNumber(condition.mid(6), 1, std::numeric_limits<int>::max())
                             : parseNumber(condition.mid(5), 1, 250);
        if (!n) {
            *error = QStringLiteral("bad %1 in '%2'").arg(times ? QStringLiteral("times") : QStringLiteral("unit (1 to 250)"), text);
            return false;
        }
        if (times)
            rule.timesLeft = static_cast<int>(*n);
        else
            rule.unit = static_cast<quint8>(*n);
    }
    return true;
}

} // namespace

std::optional<FaultRule> FaultRule::parse(const QString &text, QString *error)
{
    const qsizetype at = text.indexOf(QLatin1Char('@'));
    if (at <= 0) {
        *error = QStringLiteral("a fault rule is KIND@SELECTOR[,times=K][,unit=N]");
        return std::nullopt;
    }
    FaultRule rule;
    const QStringList tail = text.mid(at + 1).split(QLatin1Char(','));
    if (tail.size() > 3) {
        *error = QStringLiteral("too many ',' in '%1'").arg(text);
        return std::nullopt;
    }
    if (!parseConditions(tail.mid(1), rule, text, error) || !parseAction(text.left(at), rule, error)
        || !parseSelector(tail[0], rule, error))
        return std::nullopt;
    return rule;
}

bool FaultRule::selects(quint8 requestUnit, quint64 requestNumber, quint8 requestFunction,
                        std::optional<quint16> requestStart) const
{
    if (timesLeft == 0 || (unit != 0 && unit != requestUnit))
        return false;
    switch (selector) {
    case Selector::Nth: return requestNumber == n;
    case Selector::Every: return requestNumber % n == 0;
    case Selector::Register:
        return requestFunction == function && requestStart && *requestStart == start;
    case Selector::All: return true;
    }
    return false;
}

void FaultRule::applyTo(AnswerFaults &faults) const
{
    switch (action) {
    case Action::Drop: faults.drop = true; break;
    case Action::Close: faults.close = true; break;
    case Action::Crc: faults.corruptCrc = true; break;
    case Action::Address: faults.wrongAddress = true; break;
    case Action::Delay: faults.delayMs += arg1; break;
    case Action::Short:
        faults.shortBytes = faults.shortBytes ? qMin(*faults.shortBytes, arg1) : arg1;
        break;
    case Action::Exception: faults.exceptionCode = static_cast<quint8>(arg1); break;
    case Action::Split:
        faults.splitBytes = arg1;
        faults.splitPauseMs = arg2;
        break;
    case Action::Garbage: faults.garbageBytes += arg1; break;
    }
}

void FaultRules::clearUnit(quint8 unit)
{
    rules_.removeIf([unit](const FaultRule &rule) { return rule.unit == unit; });
}

AnswerFaults FaultRules::match(quint8 unit, quint64 requestNumber, quint8 function,
                               std::optional<quint16> start)
{
    AnswerFaults faults;
    for (FaultRule &rule : rules_) {
        if (!rule.selects(unit, requestNumber, function, start))
            continue;
        rule.applyTo(faults);
        if (rule.timesLeft > 0)
            --rule.timesLeft;
    }
    return faults;
}

} // namespace metersim
