#pragma once

#include "gui/app/window_titles.h"
#include "gui/ui/control_map.h"
#include "i18n/language_files.h"
#include "links/link_state.h"

#include <QMainWindow>

#include <memory>

namespace links {
class ConnectionPanel;
}
namespace loadprofile {
class DateRangePanel;
}
namespace meter {
class HarmonicChart;
}
namespace loadprofile {
class DownloadPanel;
}
namespace loadprofile {
class LoadProfilePanel;
}
namespace ui {
class Messages;
}
namespace phasor {
class PhasorLauncher;
}
namespace phasor {
struct PhaserCaptions;
}
namespace links {
class PortScan;
}
namespace config {
class DisplaySettingPanel;
}
namespace config {
class SettingPanel;
}
namespace links {
class SocketEvents;
}
namespace links {
class TrafficWindow;
}
namespace trend {
class TrendWindow;
}
namespace links {
class TransactionLink;
}
namespace i18n {
class LanguageController;
}
namespace loadprofile {
class BlockDownload;
class DateSearch;
class DownloadPace;
}
namespace modbus {
class Transactions;
}
namespace session {

class MeterSession;
class PollCycle;
}

namespace app {

class ArchiveLink;
class PageScroller;
class SessionViews;

// The main window. It builds the page, the meter session the pages show and
// drive, and each page's subsystem (connection, settings, load profile,
// language); it wires the session to the pages and holds no meter state of
// its own. Each subsystem follows the link's online state by itself.
class MainForm : public QMainWindow {
    Q_OBJECT
public:
    // programDir is where the language and title files are looked for.
    MainForm(ui::Messages &messages, const QString &programDir, QWidget *parent = nullptr);
    ~MainForm() override;

    // The start-up: asks for mode and language, then prepares the window.
    // Returns false when the user left at the start form; the window is
    // then not to be shown and the program ends.
    bool Form_Load();

    // Reads the three window titles and sets the caption of the applied language.
    void OpenTextFileTest();

    // Page buttons.
    void Command9_Click(int index);
    void Command10_Click(int index);
    void Command11_Click(int index);

    const ui::ControlMap &controls() const { return controls_; }
    session::MeterSession &session() { return *session_; }
    links::LinkState &link();
    loadprofile::BlockDownload &download() { return *download_; }
    loadprofile::DateSearch &dateSearch() { return *dateSearch_; }
    loadprofile::DownloadPace &downloadPace() { return *downloadPace_; }
    ArchiveLink &archiveLink() { return *archive_; }
    session::PollCycle &poll();
    modbus::Transactions &transactions();
    links::TransactionLink &transactionLink();
    links::ConnectionPanel &connection() { return *connection_; }
    links::PortScan &portScan() { return *portScan_; }
    phasor::PhasorLauncher &phasor() { return *phasor_; }
    i18n::LanguageController &language() { return *language_; }
    config::SettingPanel &settings() { return *settings_; }
    loadprofile::LoadProfilePanel &loadProfile() { return *loadProfile_; }
    loadprofile::DownloadPanel &downloadPanel() { return *downloadPanel_; }
    loadprofile::DateRangePanel &dateRange() { return *dateRange_; }
    PageScroller &pageScroller() { return *pageScroller_; }
    links::TrafficWindow &traffic() { return *traffic_; }
    trend::TrendWindow &trend() { return *trend_; }

signals:
    // The window has been closed: the program ends.
    void unloaded();

protected:
    // Form_Unload.
    void closeEvent(QCloseEvent *event) override;

private:
    void wirePageButtons();
    // What runs at the end of each poll cycle.
    void wireCycleEnd();
    // The one place that stops every timer of the window.
    void stopTimers();
    phasor::PhaserCaptions phaserCaptions() const;
    // Texts that the language applies outside the caption table.
    void applyLanguageTexts();
    // A button beside the status line and a shortcut that open a window.
    void addWindowButton(QWidget *window, const char *name, const char *english, const char *section,
                         const char *key, const QKeySequence &shortcut);

    ui::Messages &messages_;
    QString programDir_;
    std::unique_ptr<session::MeterSession> session_;
    std::unique_ptr<loadprofile::BlockDownload> download_;
    std::unique_ptr<loadprofile::DateSearch> dateSearch_;
    std::unique_ptr<loadprofile::DownloadPace> downloadPace_;
    i18n::LanguageFiles files_;
    ui::ControlMap controls_{this};
    WindowTitles titles_;

    std::unique_ptr<PageScroller> pageScroller_;
    std::unique_ptr<i18n::LanguageController> language_;
    std::unique_ptr<links::ConnectionPanel> connection_;
    std::unique_ptr<SessionViews> views_;
    std::unique_ptr<ArchiveLink> archive_;
    std::unique_ptr<links::PortScan> portScan_;
    std::unique_ptr<links::SocketEvents> socketEvents_;
    std::unique_ptr<phasor::PhasorLauncher> phasor_;
    std::unique_ptr<config::SettingPanel> settings_;
    std::unique_ptr<config::DisplaySettingPanel> displaySettings_;
    std::unique_ptr<loadprofile::LoadProfilePanel> loadProfile_;
    std::unique_ptr<loadprofile::DownloadPanel> downloadPanel_;
    std::unique_ptr<loadprofile::DateRangePanel> dateRange_;
    meter::HarmonicChart *harmonicChart_ = nullptr;
    links::TrafficWindow *traffic_ = nullptr;
    trend::TrendWindow *trend_ = nullptr;
};

} // namespace app
