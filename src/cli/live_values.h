#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class PollView;

// The live values of one poll, named for scripts, as the texts the window
// shows (the locale's number format, "" for a value the meter's firmware
// does not offer).
struct LiveValue {
    QString name;
    QString text;
};

std::vector<LiveValue> liveValues(const PollView &view, int displayBase);

enum class ValueFormat { Text, Json, Csv };

// "name  text" lines; one JSON object on one line; a CSV header (names) and
// CSV lines (texts, quoted where needed).
QString textLines(const std::vector<LiveValue> &values);
QString jsonLine(const std::vector<LiveValue> &values);
QString csvHeader(const std::vector<LiveValue> &values);
QString csvLine(const std::vector<LiveValue> &values);
