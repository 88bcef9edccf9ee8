#pragma once

#include "gateway/listener_settings.h"
#include "loadprofile/archived_download.h"

#include <QString>

#include <optional>
#include <utility>
#include <vector>

// The pieces of a meter and a range, as typed on the command line or in a
// meters file. Each parse returns nothing and sets error (one line) when the
// text does not fit.
namespace gateway {

std::optional<int> parseNumber(const QString &text, int lowest, int highest, const QString &what,
                               QString *error);
// "HOST" or "HOST:PORT" into address.host / address.tcpPort.
bool parseTcp(const QString &text, links::MeterAddress &address, QString *error);
// "YYYY-MM-DD HH:MM" (or with a "T" between date and time).
std::optional<QDateTime> parseDate(const QString &text, QString *error);
// A range must be records by number or by date, not both; a date range must
// not end before it begins.
bool checkRange(const loadprofile::LpRange &range, QString *error);

// One line of a meters file: the meter and the range to download.
struct MeterJob {
    int line = 0;
    links::MeterAddress address;
    loadprofile::LpRange range;
    std::optional<int> clockSyncS; // clock-sync=SECONDS (serve: 0 never)
};

// The ranges of a line's timing words: milliseconds an attempt waits for
// its answer, milliseconds between an answer and the next request, attempts
// a request gets.
inline constexpr std::pair<int, int> kTimeoutMs{50, 60000};
inline constexpr std::pair<int, int> kPauseMs{0, 10000};
inline constexpr std::pair<int, int> kAttempts{1, 5};

// Applies one word of a meters file (key=value), or the command-line option
// of the same name, to job: tcp, rtu, unit, baud, stop-bits, timeout, pause,
// attempts, group, from, to, since, until, clock-sync. placed is set when the
// word names the meter itself.
bool applyMeterWord(const QString &key, const QString &value, MeterJob &job, bool &placed,
                    QString *error);

// A meters file: one meter per line, as key=value words,
//   tcp=HOST[:PORT] | rtu=N   [unit=U] [baud=B] [stop-bits=S]
//   [timeout=MS] [pause=MS] [attempts=N]
//   [group=1|2] [from=N] [to=M] [since="YYYY-MM-DD HH:MM"] [until="..."]
//   [clock-sync=SECONDS]
// Blank lines and lines starting with "#" are skipped. What a line leaves
// out comes from defaults. Nothing, with the line number in error, when a
// line does not fit.
std::optional<std::vector<MeterJob>> parseMeterList(const QString &text, const MeterJob &defaults,
                                                    QString *error);

// The gateway's meters file: the meters as above, and lines that share a
// line with Modbus TCP masters (ListenerSettings), whose line words take
// defaults' line settings where they leave them out. A file may list
// listeners only.
struct ServedFile {
    std::vector<MeterJob> meters;
    std::vector<ListenerSettings> listeners;
};
std::optional<ServedFile> parseServedFile(const QString &text, const MeterJob &defaults, QString *error);

} // namespace gateway
