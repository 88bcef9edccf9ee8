#pragma once

#include "pdu_handler.h"

#include <QFile>
#include <QString>

#include <optional>

namespace metersim {

// Every write the meter carries out, one line each, on stdout and (when a
// file is given) in that file, flushed at once:
//   WRITE start=0x1021 count=1 values=0x04D2
// On a line of several meters each line names the meter's unit at its end:
//   WRITE start=0x1021 count=1 values=0x04D2 unit=2
class WriteLog {
public:
    // Starts the file afresh.
    bool open(const QString &path, QString *error);
    void record(const WriteRecord &write, std::optional<quint8> unit = std::nullopt);
    static QString format(const WriteRecord &write, std::optional<quint8> unit = std::nullopt);

private:
    QFile file_;
};

} // namespace metersim
