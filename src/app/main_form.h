#pragma once

#include "ui/control_map.h"
#include "app/window_titles.h"
#include "i18n/language_files.h"
#include "link/link_state.h"

#include <QMainWindow>

#include <memory>

class ArchiveLink;
class ConnectionPanel;
class DateRangePanel;
class HarmonicChart;
class DownloadPanel;
class LoadProfilePanel;
class Messages;
class PageScroller;
class PhasorLauncher;
class SessionViews;
struct PhaserCaptions;
class PortScan;
class DisplaySettingPanel;
class SettingPanel;
class SocketEvents;
class TrafficWindow;
class TrendWindow;
class TransactionLink;
namespace i18n {
class LanguageController;
}
namespace loadprofile {
class DownloadJob;
}
namespace modbus {
class Transactions;
}
namespace session {
class MeterSession;
class PollCycle;
}

// The main window. It builds the page, the meter session the pages show and
// drive, and each page's subsystem (connection, settings, load profile,
// language); it wires the session to the pages and holds no meter state of
// its own. Each subsystem follows the link's online state by itself.
class MainForm : public QMainWindow {
    Q_OBJECT
public:
    // programDir is where the language and title files are looked for.
    MainForm(Messages &messages, const QString &programDir, QWidget *parent = nullptr);
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

    const ControlMap &controls() const { return controls_; }
    session::MeterSession &session() { return *session_; }
    LinkState &link();
    loadprofile::DownloadJob &download() { return *download_; }
    ArchiveLink &archiveLink() { return *archive_; }
    session::PollCycle &poll();
    modbus::Transactions &transactions();
    TransactionLink &transactionLink();
    ConnectionPanel &connection() { return *connection_; }
    PortScan &portScan() { return *portScan_; }
    PhasorLauncher &phasor() { return *phasor_; }
    i18n::LanguageController &language() { return *language_; }
    SettingPanel &settings() { return *settings_; }
    LoadProfilePanel &loadProfile() { return *loadProfile_; }
    DownloadPanel &downloadPanel() { return *downloadPanel_; }
    DateRangePanel &dateRange() { return *dateRange_; }
    PageScroller &pageScroller() { return *pageScroller_; }
    TrafficWindow &traffic() { return *traffic_; }
    TrendWindow &trend() { return *trend_; }

signals:
    // The window has been closed: the program ends.
    void unloaded();

protected:
    // Form_Unload.
    void closeEvent(QCloseEvent *event) override;

private:
    void wirePageButtons();
    // The one place that stops every timer of the window.
    void stopTimers();
    PhaserCaptions phaserCaptions() const;
    // Texts that the language applies outside the caption table.
    void applyLanguageTexts();
    // A button beside the status line and a shortcut that open a window.
    void addWindowButton(QWidget *window, const char *name, const char *english, const char *section,
                         const char *key, const QKeySequence &shortcut);

    Messages &messages_;
    QString programDir_;
    std::unique_ptr<session::MeterSession> session_;
    std::unique_ptr<loadprofile::DownloadJob> download_;
    i18n::LanguageFiles files_;
    ControlMap controls_{this};
    WindowTitles titles_;

    std::unique_ptr<PageScroller> pageScroller_;
    std::unique_ptr<i18n::LanguageController> language_;
    std::unique_ptr<ConnectionPanel> connection_;
    std::unique_ptr<SessionViews> views_;
    std::unique_ptr<ArchiveLink> archive_;
    std::unique_ptr<PortScan> portScan_;
    std::unique_ptr<SocketEvents> socketEvents_;
    std::unique_ptr<PhasorLauncher> phasor_;
    std::unique_ptr<SettingPanel> settings_;
    std::unique_ptr<DisplaySettingPanel> displaySettings_;
    std::unique_ptr<LoadProfilePanel> loadProfile_;
    std::unique_ptr<DownloadPanel> downloadPanel_;
    std::unique_ptr<DateRangePanel> dateRange_;
    HarmonicChart *harmonicChart_ = nullptr;
    TrafficWindow *traffic_ = nullptr;
    TrendWindow *trend_ = nullptr;
};
