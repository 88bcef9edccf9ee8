#include "metersim_process.h"

#include "test_paths.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <sys/prctl.h>

#include <csignal>

namespace testsupport {

std::optional<MeterWrite> parseWriteLine(const QString &line)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^WRITE start=0x([0-9A-Fa-f]{4}) count=(\\d+) values=(0x[0-9A-Fa-f]{4}(?:,0x[0-9A-Fa-f]{4})*)(?: unit=(\\d+))?$"));
    const auto match = pattern.match(line.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    MeterWrite write;
    write.start = static_cast<quint16>(match.captured(1).toUInt(nullptr, 16));
    for (const QString &value : match.captured(3).split(QLatin1Char(',')))
        write.values.append(static_cast<quint16>(value.mid(2).toUInt(nullptr, 16)));
    if (match.captured(2).toInt() != write.values.size())
        return std::nullopt;
    write.unit = match.captured(4).toInt();
    return write;
}

std::optional<QList<MeterWrite>> parseWriteLog(const QByteArray &text, QString *error)
{
    QList<MeterWrite> writes;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromLatin1(lines[i]).trimmed();
        if (line.isEmpty())
            continue;
        const auto write = parseWriteLine(line);
        if (!write) {
            *error = QStringLiteral("write log line %1 is malformed: '%2'").arg(i + 1).arg(line);
            return std::nullopt;
        }
        writes.append(*write);
    }
    return writes;
}

MeterSim::MeterSim(QObject *parent) : QObject(parent)
{
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    // A test killed by its time-out must not leave the meter running and
    // holding its port for the next run.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    connect(&process_, &QProcess::readyReadStandardOutput, this, &MeterSim::readOutput);
    connect(&process_, &QProcess::readyReadStandardError, this,
            [this] { errorBytes_.append(process_.readAllStandardError()); });
}

MeterSim::~MeterSim()
{
    if (process_.state() != QProcess::NotRunning)
        stop(3000);
}

bool MeterSim::fail(const QString &message)
{
    error_ = message;
    const QString stderrText = errorOutput().trimmed();
    if (!stderrText.isEmpty())
        error_ += QStringLiteral("\nmetersim said: ") + stderrText;
    return false;
}

QString MeterSim::errorOutput() const
{
    return QString::fromLocal8Bit(errorBytes_);
}

template <typename Done> bool MeterSim::waitUntil(Done done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto check = [&] {
        if (done() || process_.state() == QProcess::NotRunning)
            loop.quit();
    };
    const auto c1 = connect(&process_, &QProcess::readyReadStandardOutput, &loop, check,
                            Qt::QueuedConnection);
    const auto c2 = connect(&process_, &QProcess::finished, &loop, &QEventLoop::quit);
    const auto c3 = connect(&process_, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    if (process_.state() != QProcess::NotRunning)
        loop.exec();
    disconnect(c1);
    disconnect(c2);
    disconnect(c3);
    readOutput();
    return done();
}

bool MeterSim::start(const QStringList &arguments, int timeoutMs)
{
    if (process_.state() != QProcess::NotRunning)
        return fail(QStringLiteral("metersim is already running"));
    if (!tempDir_.isValid())
        return fail(QStringLiteral("no temporary folder for the write log"));
    QStringList args = arguments;
    if (!args.contains(QStringLiteral("--tcp")) && !args.contains(QStringLiteral("--no-tcp")))
        args << QStringLiteral("--tcp") << QStringLiteral("127.0.0.1:0");
    const qsizetype logAt = args.indexOf(QStringLiteral("--write-log"));
    if (logAt >= 0 && logAt + 1 < args.size())
        writeLogPath_ = args[logAt + 1];
    else {
        writeLogPath_ = tempDir_.filePath(QStringLiteral("writes.log"));
        args << QStringLiteral("--write-log") << writeLogPath_;
    }

    const QString program = QDir(binDir()).filePath(QStringLiteral("metersim"));
    if (!QFile::exists(program))
        return fail(QStringLiteral("%1 does not exist; build the metersim target").arg(program));
    process_.start(program, args);
    if (!waitUntil([this] { return ready_; }, timeoutMs)) {
        const bool running = process_.state() != QProcess::NotRunning;
        if (running) {
            process_.kill();
            process_.waitForFinished(3000);
        }
        return fail(running ? QStringLiteral("metersim did not print READY within %1 ms").arg(timeoutMs)
                            : QStringLiteral("metersim %1 ended before READY (exit code %2): %3")
                                  .arg(args.join(QLatin1Char(' ')))
                                  .arg(process_.exitCode())
                                  .arg(process_.errorString()));
    }
    return true;
}

void MeterSim::readOutput()
{
    partialLine_.append(process_.readAllStandardOutput());
    qsizetype newline = 0;
    while ((newline = partialLine_.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(partialLine_.left(newline)).trimmed();
        partialLine_.remove(0, newline + 1);
        lines_.append(line);
        if (line == QLatin1String("READY"))
            ready_ = true;
        else if (line.startsWith(QLatin1String("WRITE ")))
            ++writeLines_;
        else if (line.startsWith(QLatin1String("UNIT "))) {
            const QStringList fields = line.split(QLatin1Char(' '));
            if (fields.size() == 3)
                unitSerials_.insert(fields[1].toInt(), fields[2]);
        } else if (line.startsWith(QLatin1String("PTY ")))
            ptyPath_ = line.mid(4);
        else if (line.startsWith(QLatin1String("TCP "))) {
            const QString hostPort = line.mid(4);
            const qsizetype colon = hostPort.lastIndexOf(QLatin1Char(':'));
            tcpAddress_ = hostPort.left(colon).remove(QLatin1Char('[')).remove(QLatin1Char(']'));
            tcpPort_ = static_cast<quint16>(hostPort.mid(colon + 1).toUInt());
        }
    }
}

bool MeterSim::sendCommand(const QString &command, QString *reply, int timeoutMs)
{
    if (process_.state() != QProcess::Running) {
        if (reply)
            *reply = QStringLiteral("metersim is not running");
        return false;
    }
    const qsizetype seen = lines_.size();
    process_.write((command + QLatin1Char('\n')).toLocal8Bit());
    QString answer;
    const auto answered = [&] {
        for (qsizetype i = seen; i < lines_.size(); ++i) {
            if (lines_[i] == QLatin1String("OK") || lines_[i].startsWith(QLatin1String("ERR"))) {
                answer = lines_[i];
                return true;
            }
        }
        return false;
    };
    if (!waitUntil(answered, timeoutMs))
        answer = QStringLiteral("no answer to '%1' within %2 ms").arg(command).arg(timeoutMs);
    if (reply)
        *reply = answer;
    return answer == QLatin1String("OK");
}

QList<MeterWrite> MeterSim::writes() const
{
    QFile file(writeLogPath_);
    if (!file.open(QIODevice::ReadOnly)) {
        QTest::qFail(qPrintable(QStringLiteral("cannot read the write log %1").arg(writeLogPath_)),
                     __FILE__, __LINE__);
        return {};
    }
    QString error;
    const auto parsed = parseWriteLog(file.readAll(), &error);
    if (!parsed) {
        QTest::qFail(qPrintable(error), __FILE__, __LINE__);
        return {};
    }
    return *parsed;
}

bool MeterSim::waitForSettingWrites(int count, int timeoutMs)
{
    return waitUntil([&] { return settingWrites(writes()).size() >= count; }, timeoutMs);
}

bool MeterSim::waitForWrites(int count, int timeoutMs)
{
    return waitUntil([this, count] { return writeLines_ >= count; }, timeoutMs);
}

int MeterSim::stop(int timeoutMs)
{
    if (process_.state() == QProcess::NotRunning)
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    process_.terminate();
    if (!process_.waitForFinished(timeoutMs)) {
        process_.kill();
        process_.waitForFinished(3000);
        return -1;
    }
    readOutput();
    errorBytes_.append(process_.readAllStandardError());
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

} // namespace testsupport
