#pragma once

#include "pdu_handler.h"

#include <QFile>
#include <QString>

namespace metersim {

// Every write the meter carries out, one line each, on stdout and (when a
// file is given) in that file, flushed at once:
//   WRITE start=0x1021 count=1 values=0x04D2
class WriteLog {
public:
    // Starts the file afresh.
    bool open(const QString &path, QString *error);
    void record(const WriteRecord &write);
    static QString format(const WriteRecord &write);

private:
    QFile file_;
};

} // namespace metersim
