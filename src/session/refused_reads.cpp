#include "session/refused_reads.h"

#include "modbus/exception_codes.h"

#include <algorithm>

namespace session {

namespace {

QString hexDigits(int value, int width) { return QString::number(value, 16).toUpper().rightJustified(width, QLatin1Char('0')); }
QString hex(int value) { return QStringLiteral("0x") + hexDigits(value, 4); }

bool holds(const std::vector<RefusedRead> &list, const RefusedRead &read)
{
    return std::any_of(list.begin(), list.end(), [&](const RefusedRead &r) { return r.sameRead(read) && r.code == read.code; });
}

bool holdsRead(const std::vector<RefusedRead> &list, const RefusedRead &read)
{
    return std::any_of(list.begin(), list.end(), [&](const RefusedRead &r) { return r.sameRead(read); });
}

} // namespace

QString registersText(const RefusedRead &read)
{
    const QString kind = read.function == 3   ? QStringLiteral("holding")
                         : read.function == 4 ? QStringLiteral("input")
                                              : QStringLiteral("function %1").arg(read.function);
    if (read.count <= 1)
        return QStringLiteral("%1 register %2").arg(kind, hex(read.start));
    return QStringLiteral("%1 registers %2-%3").arg(kind, hex(read.start), hex(read.start + read.count - 1));
}

QString exceptionText(std::uint8_t code)
{
    const QString number = QStringLiteral("exception ") + hexDigits(code, 2);
    const char *name = modbus::exceptionName(code);
    return name ? QStringLiteral("%1 (%2)").arg(number, QLatin1String(name)) : number;
}

QStringList refusalChanges(const std::vector<RefusedRead> &before, const std::vector<RefusedRead> &after)
{
    QStringList lines;
    for (const RefusedRead &read : after)
        if (!holds(before, read))
            lines << QStringLiteral("refuses the read of %1, %2: its values are left out")
                         .arg(registersText(read), exceptionText(read.code));
    for (const RefusedRead &read : before)
        if (!holdsRead(after, read))
            lines << QStringLiteral("answers the read of %1 again").arg(registersText(read));
    return lines;
}

} // namespace session
