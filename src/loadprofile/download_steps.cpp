#include "loadprofile/download_steps.h"

#include "loadprofile/block_read.h"

namespace loadprofile {

DownloadSteps::Step DownloadSteps::read(MeterLink meter, const DownloadOrigin &origin) const
{
    Step step;
    CheckedBlock block = readCheckedBlock(meter, origin.group, origin.channels, next_, last_);
    if (block.badRecord) {
        step.kind = Step::Kind::BadRecord;
        step.badRecord = *block.badRecord;
        return step;
    }
    if (!block.records)
        return step;
    BlockRows rows = blockRows(*block.records, range_);
    step.kind = Step::Kind::Rows;
    step.records = std::move(*block.records);
    step.rows = std::move(rows.rows);
    step.pastEnd = rows.pastEnd;
    return step;
}

void DownloadSteps::taken(const Step &step)
{
    if (step.pastEnd)
        last_ = next_;
    // Always a whole block on, also after a shorter last one.
    next_ += kRecordsPerBlock;
}

} // namespace loadprofile
