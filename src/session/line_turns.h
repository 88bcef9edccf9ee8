#pragma once

namespace session {

// Others who take turns on a meter's line between this program's
// transactions (masters the gateway lets share its line). They are asked
// before each transaction, and told while a meter's record pointer is this
// program's: from its write to the last read at it, no one else may move it.
class LineTurns {
public:
    virtual ~LineTurns() = default;
    // Before a transaction with unit: others may have their turn now.
    virtual void beforeTransaction(int unit) = 0;
    virtual void recordPointerHeld(int unit, bool held) = 0;
};

} // namespace session
