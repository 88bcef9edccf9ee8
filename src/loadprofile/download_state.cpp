#include "loadprofile/download_state.h"

#include "link/link_state.h"

DownloadState::DownloadState(LinkState &link, QObject *parent) : QObject(parent)
{
    Timer_RS_Lpf.setObjectName(QStringLiteral("Timer_RS_Lpf"));
    Timer_RS_Lpf.setInterval(kFastTimerMs);
    TimerEnLPRead.setObjectName(QStringLiteral("TimerEnLPRead"));
    TimerEnLPRead.setInterval(kStartDelayMs);
    TimerEnLPRead.setSingleShot(true);
    connect(&link, &LinkState::linkOnlineChanged, this, &DownloadState::linkOnlineChanged);
}

void DownloadState::linkOnlineChanged(bool online)
{
    if (online || !Timer_RS_Lpf.isActive())
        return;
    Timer_RS_Lpf.stop();
    if (hasRecordsLeft())
        emit downloadInterrupted();
}
