#pragma once

#include "lpdata/csv_file.h"
#include "meter/quantities.h"

#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <vector>

namespace meter {
struct Reading;
}

// Records the trend to a CSV file: a header line, then one row a reading
// (see csv_rows.h). Rows reach the disk at least once a second; a write
// that fails, or a file whose folder was removed, stops the recording with
// the path and the reason, and the rows written so far stay.
namespace trend {

// "Trend Data" beside the program, by the rules of the load profile's
// data folders (user's documents folder as fallback or for a program
// installed in a system folder).
lpdata::DataFolders recordingFolders(const QString &programDir);

// serial characters 9-16 (made safe for a file name, as the load profile's
// files) + "_" + yyyyMMdd_hhmmss of start.
QString recordingBaseName(const QString &meterSerialText, const QDateTime &start);

class Recorder : public QObject {
    Q_OBJECT
public:
    static constexpr int kFlushMs = 1000;

    explicit Recorder(QObject *parent = nullptr);
    ~Recorder() override;

    // Starts a new file of these quantities. False, with the paths tried
    // and the reasons in error, when no file could be made.
    bool start(const lpdata::DataFolders &folders, const QString &meterSerialText,
               const QDateTime &now, std::vector<meter::Q> quantities, QString *error);
    // Appends one row of the reading at time.
    void append(const QDateTime &time, const meter::Reading &reading);
    // Writes what is left and closes the file.
    void stop();

    bool isRecording() const { return file_.isOpen(); }
    QString path() const { return file_.fileName(); }
    bool inFallbackFolder() const { return inFallback_; }
    const std::vector<meter::Q> &quantities() const { return quantities_; }

signals:
    // The recording stopped by itself: message names the file and the reason.
    void failed(const QString &message);
    // The recording stopped, by stop() or a failure.
    void stopped();

private:
    // Hands the buffered rows to the system; false after failing.
    bool flush();
    void fail(const QString &reason);

    QFile file_;
    QTimer flushTimer_;
    std::vector<meter::Q> quantities_;
    bool inFallback_ = false;
};

} // namespace trend
