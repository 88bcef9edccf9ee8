#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace testsupport {

// One line of metersim's write log: WRITE start=0x1021 count=1 values=0x04D2,
// on a line of several meters followed by " unit=2".
struct MeterWrite {
    quint16 start = 0;
    QList<quint16> values;
    int unit = 0; // 0: a meter alone on its line
    bool operator==(const MeterWrite &) const = default;
};

// The writes of settings: all but those of the load-profile record pointer
// (0x104D), which the program moves to read record time stamps and blocks.
inline QList<MeterWrite> settingWrites(const QList<MeterWrite> &writes)
{
    QList<MeterWrite> settings;
    for (const MeterWrite &write : writes)
        if (write.start != 0x104D)
            settings.append(write);
    return settings;
}

// Parses one write-log line; std::nullopt for anything else or a line whose
// count does not match its values.
std::optional<MeterWrite> parseWriteLine(const QString &line);
// Parses a whole write log; on a malformed line returns std::nullopt and says
// which line in *error.
std::optional<QList<MeterWrite>> parseWriteLog(const QByteArray &text, QString *error);

// bin/metersim as a child process. start() waits for its READY line with the
// event loop and a time-out, so a meter that does not come up fails the test
// with its own error output instead of hanging it. The process is ended in the
// destructor.
//
//   testsupport::MeterSim sim;
//   QVERIFY2(sim.start({"--pty", "--voltage", "231.5"}), qPrintable(sim.errorString()));
//
// Without --tcp or --no-tcp among the arguments the meter listens on
// 127.0.0.1 at a free port; without --write-log it logs into a temporary file.
class MeterSim : public QObject {
    Q_OBJECT
public:
    explicit MeterSim(QObject *parent = nullptr);
    ~MeterSim() override;

    bool start(const QStringList &arguments = {}, int timeoutMs = 15000);
    QString errorString() const { return error_; }

    QString tcpAddress() const { return tcpAddress_; }
    quint16 tcpPort() const { return tcpPort_; }
    QString ptyPath() const { return ptyPath_; }
    QString writeLogPath() const { return writeLogPath_; }
    // The serial number of each unit, from its UNIT line.
    QMap<int, QString> unitSerials() const { return unitSerials_; }
    bool isRunning() const { return process_.state() == QProcess::Running; }

    // Sends one console command and waits for its OK or ERR line. Returns true
    // for OK; *reply (when given) receives the whole reply line.
    bool sendCommand(const QString &command, QString *reply = nullptr, int timeoutMs = 5000);

    // The write log so far. A malformed line fails the running test.
    QList<MeterWrite> writes() const;
    // Waits (event loop) until the meter has logged at least count writes.
    bool waitForWrites(int count, int timeoutMs = 5000);
    // The same for writes of settings (see settingWrites).
    bool waitForSettingWrites(int count, int timeoutMs = 5000);

    // Every line the meter printed on stdout so far.
    QStringList outputLines() const { return lines_; }
    QString errorOutput() const;

    // Ends the meter with SIGTERM and waits; returns its exit code, or -1 when
    // it did not end normally in time (it is then killed).
    int stop(int timeoutMs = 5000);

private:
    void readOutput();
    // Runs the event loop until done() holds, the process ends or timeoutMs pass.
    template <typename Done> bool waitUntil(Done done, int timeoutMs);
    bool fail(const QString &message);

    QProcess process_;
    QTemporaryDir tempDir_;
    QByteArray partialLine_;
    QStringList lines_;
    QByteArray errorBytes_;
    QString error_;
    QString tcpAddress_;
    quint16 tcpPort_ = 0;
    QString ptyPath_;
    QString writeLogPath_;
    QMap<int, QString> unitSerials_;
    int writeLines_ = 0;
    bool ready_ = false;
};

} // namespace testsupport

Q_DECLARE_METATYPE(testsupport::MeterWrite)
