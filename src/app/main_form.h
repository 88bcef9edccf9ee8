#pragma once

#include "ui/control_map.h"
#include "app/window_titles.h"
#include "i18n/language_files.h"
#include "link/link_state.h"
#include "loadprofile/download_state.h"

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
class PollCycle;
class PhasorLauncher;
struct PhaserCaptions;
class PortScan;
class DisplaySettingPanel;
class SettingPanel;
class SocketEvents;
class TrafficWindow;
class TrendWindow;
class TransactionLink;
class WidgetPollView;
namespace i18n {
class LanguageController;
}
namespace modbus {
class Transactions;
}

// The main window. It builds the page and owns each subsystem (link,
// transactions, poll cycle, settings, load profile, language). Each subsystem
// follows the link's online state by itself; the window only builds them.
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
    LinkState &link() { return link_; }
    DownloadState &download() { return download_; }
    ArchiveLink &archiveLink() { return *archive_; }
    PollCycle &poll() { return *poll_; }
    modbus::Transactions &transactions();
    TransactionLink &transactionLink() { return *transactionLink_; }
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
    LinkState link_;
    DownloadState download_{link_};
    i18n::LanguageFiles files_;
    ControlMap controls_{this};
    WindowTitles titles_;

    std::unique_ptr<PageScroller> pageScroller_;
    std::unique_ptr<WidgetPollView> pollView_;
    std::unique_ptr<TransactionLink> transactionLink_;
    std::unique_ptr<i18n::LanguageController> language_;
    std::unique_ptr<ConnectionPanel> connection_;
    std::unique_ptr<PollCycle> poll_;
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
