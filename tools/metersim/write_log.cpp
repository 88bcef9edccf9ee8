#include "write_log.h"

#include "console_output.h"

#include <QStringList>

namespace metersim {

namespace {
QString hex4(quint16 value)
{
    return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0')).toUpper().replace(
        QLatin1String("0X"), QLatin1String("0x"));
}
} // namespace

bool WriteLog::open(const QString &path, QString *error)
{
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file_.errorString());
        return false;
    }
    return true;
}

QString WriteLog::format(const WriteRecord &write, std::optional<quint8> unit)
{
    QStringList values;
    for (const quint16 v : write.values)
        values.append(hex4(v));
    return QStringLiteral("WRITE start=%1 count=%2 values=%3")
        .arg(hex4(write.start))
        .arg(write.values.size())
        .arg(values.join(QLatin1Char(',')))
        + (unit ? QStringLiteral(" unit=%1").arg(*unit) : QString());
}

void WriteLog::record(const WriteRecord &write, std::optional<quint8> unit)
{
    const QString line = format(write, unit);
    if (file_.isOpen()) {
        file_.write((line + QLatin1Char('\n')).toLatin1());
        file_.flush();
    }
    printLine(line);
}

} // namespace metersim
