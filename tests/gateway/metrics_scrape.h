#pragma once

#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTcpSocket>

// Reading /metrics as a scraper does, for the tests of the exporter and of serve.
namespace testsupport {

// GET /metrics with a plain socket; the body, or an empty text.
inline QString scrapeMetrics(quint16 port, const QString &host = QStringLiteral("127.0.0.1"))
{
    QTcpSocket socket;
    socket.connectToHost(host, port);
    socket.write("GET /metrics HTTP/1.0\r\nHost: " + host.toLatin1() + "\r\n\r\n");
    QByteArray response;
    while (socket.waitForReadyRead(3000)) // until the server closes
        response += socket.readAll();
    const qsizetype body = response.indexOf("\r\n\r\n");
    return body < 0 ? QString() : QString::fromUtf8(response.mid(body + 4));
}

// Sample lines by series ("name{labels}"), their values as text.
inline QHash<QString, QString> metricSamples(const QString &text)
{
    QHash<QString, QString> series;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!line.startsWith(QLatin1Char('#')))
            series.insert(line.section(QLatin1Char(' '), 0, -2), line.section(QLatin1Char(' '), -1));
    return series;
}

// promtool check metrics on text: empty when it passes, else what it said;
// nothing when promtool is not installed.
inline std::optional<QString> promtoolComplaints(const QString &text)
{
    const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
    if (promtool.isEmpty())
        return std::nullopt;
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
    if (!check.waitForStarted())
        return QStringLiteral("promtool did not start");
    check.write(text.toUtf8());
    check.closeWriteChannel();
    if (!check.waitForFinished(10000))
        return QStringLiteral("promtool did not finish");
    const QString said = QString::fromUtf8(check.readAll());
    return check.exitCode() == 0 ? QString() : (said.isEmpty() ? QStringLiteral("promtool failed") : said);
}

} // namespace testsupport
