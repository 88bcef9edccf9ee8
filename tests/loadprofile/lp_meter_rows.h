#pragma once

// The rows the simulated meter's group 1 gives: 8 channels with these codes;
// record i is stamped start + (i - 1) x 15 min, channel j holds code j + 0.25 i.
#include <QDateTime>
#include <QFile>
#include <QStringList>

namespace lptest {

inline constexpr int kCodes[] = {1, 2, 3, 4, 5, 7, 9, 11};

inline QString expectedRow(int record, const QDateTime &start = QDateTime(QDate(2024, 3, 1), QTime(0, 0), Qt::UTC))
{
    QString row = start.addSecs(qint64(record - 1) * 15 * 60).toString(QStringLiteral("yyyy/M/d,H:m:s"));
    for (int code : kCodes)
        row += QStringLiteral(",%1").arg(code + 0.25 * record, 0, 'f', 4);
    return row;
}

inline QStringList expectedRows(int first, int last)
{
    QStringList rows;
    for (int record = first; record <= last; ++record)
        rows << expectedRow(record);
    return rows;
}

// The rows of a CSV file (its lines after the two header lines), without
// their CR LF; "no file" when it cannot be read.
inline QStringList csvRows(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("no file ") + path};
    QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    if (lines.size() < 3 || !lines.last().isEmpty())
        return {QStringLiteral("not a file of rows: ") + path};
    return lines.mid(2, lines.size() - 3);
}

} // namespace lptest
