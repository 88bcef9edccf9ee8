#pragma once

namespace session {

// Others who take turns on a meter's line between this program's
// transactions (masters the gateway lets share its line). They are asked
// before each transaction, and asked for a meter's record pointer, which the
// meter has one of: from its write to the last read at it, no one else may
// move it.
class LineTurns {
public:
    virtual ~LineTurns() = default;
    // Before a transaction with unit: others may have their turn now.
    virtual void beforeTransaction(int unit) = 0;
    // The record pointer of unit is this program's until released; false
    // when another is reading records at it now (then nothing is held).
    virtual bool holdRecordPointer(int unit) = 0;
    virtual void releaseRecordPointer(int unit) = 0;
};

} // namespace session
