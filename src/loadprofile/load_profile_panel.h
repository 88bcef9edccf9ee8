#pragma once

#include <QObject>

class ControlMap;
class DownloadState;
class LinkState;
namespace i18n {
struct LanguageTexts;
}

// The handlers of the load-profile pages. Their buttons talk to the meter,
// so they work only while the link is online; the panel follows the link by
// itself. Each change of the link leaves the download's start button shown
// (not its stop button), and a download cut off by going offline marks the
// start button red. Its button shows and hides the description of the
// channel codes.
class LoadProfilePanel : public QObject {
    Q_OBJECT
public:
    // The pages must be built (see load_profile_pages.h).
    LoadProfilePanel(LinkState &link, DownloadState &download, const i18n::LanguageTexts &texts,
                     const ControlMap &controls, QObject *parent = nullptr);

    void cmdLPindexon_Click();

private:
    void linkOnlineChanged(bool online);
    void markInterruptedDownload();

    const i18n::LanguageTexts &texts_;
    const ControlMap &controls_;
};
