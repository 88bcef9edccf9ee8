#include "trend/recorder.h"

#include "trend/csv_rows.h"

#include <QDir>
#include <QFileInfo>

namespace trend {

namespace {

const QLatin1String kLineEnd("\r\n");

} // namespace

lpdata::DataFolders recordingFolders(const QString &programDir)
{
    return lpdata::dataFolders(programDir, QStringLiteral("Trend Data"));
}

QString recordingBaseName(const QString &meterSerialText, const QDateTime &start)
{
    return lpdata::csvSerialPart(meterSerialText) + QLatin1Char('_')
           + start.toString(QStringLiteral("yyyyMMdd_HHmmss"));
}

Recorder::Recorder(QObject *parent) : QObject(parent)
{
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kFlushMs);
    connect(&flushTimer_, &QTimer::timeout, this, &Recorder::flush);
}

Recorder::~Recorder()
{
    const QSignalBlocker quiet(this);
    stop();
}

bool Recorder::start(const lpdata::DataFolders &folders, const QString &meterSerialText,
                     const QDateTime &now, std::vector<meter::Q> quantities, QString *error)
{
    stop();
    const QByteArray header = (csvHeader(quantities) + kLineEnd).toUtf8();
    const auto created =
        lpdata::createDataFile(folders, recordingBaseName(meterSerialText, now), header, error);
    if (!created)
        return false;
    file_.setFileName(created->path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error)
            *error = QStringLiteral("Cannot open %1: %2").arg(QDir::toNativeSeparators(created->path),
                                                            file_.errorString());
        return false;
    }
    quantities_ = std::move(quantities);
    inFallback_ = created->inFallback;
    return true;
}

void Recorder::append(const QDateTime &time, const meter::Reading &reading)
{
    if (!isRecording())
        return;
    const QByteArray row = (csvRow(time, quantities_, reading) + kLineEnd).toUtf8();
    if (file_.write(row) != row.size())
        return fail(file_.errorString());
    if (!flushTimer_.isActive())
        flushTimer_.start();
}

bool Recorder::flush()
{
    if (!isRecording())
        return false;
    // Writing on into a file that no longer has a name would lose every row.
    if (!QFileInfo::exists(file_.fileName())) {
        fail(QStringLiteral("the file or its folder was removed"));
        return false;
    }
    if (!file_.flush()) {
        fail(file_.errorString());
        return false;
    }
    return true;
}

void Recorder::stop()
{
    if (!isRecording())
        return;
    flushTimer_.stop();
    if (!flush())
        return; // fail() closed the file and told
    file_.close();
    emit stopped();
}

void Recorder::fail(const QString &reason)
{
    flushTimer_.stop();
    const QString path = QDir::toNativeSeparators(file_.fileName());
    // What cannot be written now is dropped: the rows before it stay.
    file_.close();
    emit failed(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    emit stopped();
}

} // namespace trend
