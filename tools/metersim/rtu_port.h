#pragma once

#include "answer_pacer.h"
#include "meter_service.h"
#include "rtu_framer.h"

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace metersim {

// Modbus RTU on a pseudo-terminal: the program (or any serial client) opens
// the slave device as if it were the meter's RS-485 adapter.
class RtuPort : public QObject {
    Q_OBJECT
public:
    RtuPort(MeterService &service, QObject *parent = nullptr);
    ~RtuPort() override;

    // Creates the pseudo-terminal; with a non-empty linkPath also a symbolic
    // link there to the slave device (an old link in the way is replaced).
    bool open(const QString &linkPath, QString *error);
    QString devicePath() const { return device_; }

private:
    void onReadable();
    void onWritable();
    void write(const QByteArray &bytes);
    void pauseReading();

    MeterService &service_;
    RtuFramer framer_;
    AnswerPacer pacer_;
    int master_ = -1;
    int slave_ = -1; // held open so the master never sees a hang-up
    QSocketNotifier *readNotifier_ = nullptr;
    QSocketNotifier *writeNotifier_ = nullptr;
    QByteArray outgoing_;
    QString device_;
    QString link_;
};

} // namespace metersim
