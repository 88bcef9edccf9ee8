#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace metersim {

// What happens to one answer; several matching rules add up.
struct AnswerFaults {
    bool drop = false;         // no answer (the request is not carried out)
    bool close = false;        // TCP: close the connection instead of answering
    bool corruptCrc = false;   // RTU: flip the CRC
    bool wrongAddress = false; // answer from unit + 1
    int delayMs = 0;
    std::optional<int> shortBytes; // send only this many bytes of the frame
    std::optional<quint8> exceptionCode;
    int splitBytes = 0; // chunk size, 0 = not split
    int splitPauseMs = 0;
    int garbageBytes = 0; // extra bytes after the frame

    bool suppressesRequest() const { return drop || close || exceptionCode.has_value(); }
};

// One --fault rule: KIND@SELECTOR[,times=K][,unit=N].
struct FaultRule {
    enum class Action { Drop, Crc, Address, Delay, Short, Exception, Split, Garbage, Close };
    enum class Selector { Nth, Every, Register, All };

    Action action = Action::Drop;
    int arg1 = 0; // delay ms, short bytes, exception code, split chunk, garbage bytes
    int arg2 = 0; // split pause ms
    Selector selector = Selector::All;
    quint64 n = 0;        // nth / every
    quint8 function = 0;  // reg=FC:START
    quint16 start = 0;
    int timesLeft = -1;   // -1: no limit
    quint8 unit = 0;      // only requests to this unit; 0: to every unit

    static std::optional<FaultRule> parse(const QString &text, QString *error);
    // requestNumber counts the requests to requestUnit.
    bool selects(quint8 requestUnit, quint64 requestNumber, quint8 requestFunction,
                 std::optional<quint16> requestStart) const;
    void applyTo(AnswerFaults &faults) const;
};

class FaultRules {
public:
    void add(const FaultRule &rule) { rules_.append(rule); }
    void clear() { rules_.clear(); }
    // Removes the rules aimed at that unit; those for every unit stay.
    void clearUnit(quint8 unit);
    // The faults for request number requestNumber (1-based) to unit; uses up
    // one of the times of every rule that applies.
    AnswerFaults match(quint8 unit, quint64 requestNumber, quint8 function,
                       std::optional<quint16> start);

private:
    QList<FaultRule> rules_;
};

} // namespace metersim
