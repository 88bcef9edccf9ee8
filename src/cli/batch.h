#pragma once

#include "cli/meter_list.h"

#include <functional>
#include <vector>

namespace cli {

struct BatchResult {
    MeterJob job;
    LpResult result;
};

// Downloads every meter of the list into outDir. Meters on TCP hosts run in
// parallel, at most `parallel` at a time; meters on one serial port one after
// the other. A meter that fails does not stop the others. finished(done,
// total) is called, from any thread, each time a meter is done.
// log: each meter's traffic on standard error, its lines led by its line
// number in the file.
std::vector<BatchResult> runBatch(const std::vector<MeterJob> &jobs, const QString &outDir,
                                  const QString &archivePath, int parallel, bool log = false,
                                  const std::function<void(int done, int total)> &finished = {});

// One line per meter: its line in the file, where it is, and the file and
// record count, or what went wrong.
QString summaryTable(const std::vector<BatchResult> &results);

} // namespace cli
