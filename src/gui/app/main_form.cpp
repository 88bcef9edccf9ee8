#include "gui/app/main_form.h"

#include "gui/app/archive_link.h"

#include "archive/archive_setting.h"
#include "archive/archive_store.h"
#include "gui/app/language_sel_form.h"
#include "gui/app/main_page.h"
#include "gui/app/page_layout.h"
#include "gui/app/session_views.h"
#include "gui/app/startup_lists.h"
#include "gui/config/display_setting_panel.h"
#include "gui/config/setting_panel.h"
#include "gui/i18n/language_controller.h"
#include "gui/links/connection_panel.h"
#include "gui/links/port_scan.h"
#include "gui/links/socket_events.h"
#include "gui/links/traffic_window.h"
#include "gui/loadprofile/date_range_panel.h"
#include "gui/loadprofile/download_pace.h"
#include "gui/loadprofile/download_panel.h"
#include "gui/loadprofile/load_profile_panel.h"
#include "gui/lpviewer/load_profile_viewer.h"
#include "gui/meter/harmonic_chart.h"
#include "gui/phasor/phasor_window.h"
#include "gui/trend/trend_window.h"
#include "gui/ui/named_controls.h"
#include "links/transaction_link.h"
#include "loadprofile/block_download.h"
#include "loadprofile/date_search_job.h"
#include "session/meter_session.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>

namespace app {

MainForm::MainForm(ui::Messages &messages, const QString &programDir, QWidget *parent)
    : QMainWindow(parent), messages_(messages), programDir_(programDir)
{
    setObjectName(QStringLiteral("MainForm"));
    // The base font of every caption; the language files set some sizes.
    QFont base = font();
    base.setFamily(QStringLiteral("Arial"));
    base.setPointSize(10);
    setFont(base);

    // The page and its scroll bar side by side; the bands sit at fixed tops
    // that VScroll1 moves.
    auto *host = new QWidget(this);
    host->setObjectName(QStringLiteral("pageHost"));
    auto *page = new QWidget(host);
    page->setObjectName(QStringLiteral("page"));
    buildMainPage(page);
    auto *bar = new QScrollBar(Qt::Vertical, host);
    bar->setObjectName(QStringLiteral("VScroll1"));
    setCentralWidget(host);
    pageScroller_ = std::make_unique<PageScroller>(host, page, bar);

    auto *status = new QLineEdit(this);
    status->setObjectName(QStringLiteral("Text6"));
    status->setReadOnly(true);
    status->setFrame(false);
    statusBar()->addWidget(status, 1);
    // Records done of records asked while a load-profile download runs.
    auto *progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("lpProgress"));
    progress->setMinimumWidth(260);
    progress->hide();
    statusBar()->addPermanentWidget(progress);

    // The meter the window shows: its session, polled on Timer1Sec, and its
    // downloads and date searches at the window's pace. A block that fails is
    // read again until the user stops the download.
    session_ = std::make_unique<session::MeterSession>(session::MeterSession::Pacing::Timed);
    download_ = std::make_unique<loadprofile::BlockDownload>(*session_, std::nullopt);
    dateSearch_ = std::make_unique<loadprofile::DateSearch>(*session_);
    downloadPace_ = std::make_unique<loadprofile::DownloadPace>(*session_, *download_, *dateSearch_);
    links::LinkState &link = session_->link();
    auto *chartArea = controls_.require<QWidget>(QStringLiteral("harmonicChartArea"));
    harmonicChart_ = new meter::HarmonicChart(chartArea);
    chartArea->layout()->addWidget(harmonicChart_);
    language_ = std::make_unique<i18n::LanguageController>(files_, controls_,
                                                           [this] { return session_->link().RtuMode; });
    connect(&link, &links::LinkState::linkOnlineChanged, language_.get(),
            &i18n::LanguageController::setLinkOnline);
    connection_ = std::make_unique<links::ConnectionPanel>(link, language_->texts(), messages_, controls_);
    views_ = std::make_unique<SessionViews>(*session_, this, *harmonicChart_, language_->texts());
    portScan_ = std::make_unique<links::PortScan>(
        link, *controls_.require<QComboBox>(QStringLiteral("Combo_CommPort")), language_->texts(),
        messages_);
    socketEvents_ = std::make_unique<links::SocketEvents>(link.tcp, messages_,
                                                   [this] { return connection_->tcpConnecting(); });
    session::PollCycle &poll = session_->poll();
    phasor_ = std::make_unique<phasor::PhasorLauncher>(
        [this]() -> const meter::Reading & { return session_->reading(); }, link, messages_,
        [this] { return phaserCaptions(); }, this);
    settings_ = std::make_unique<config::SettingPanel>(*session_, language_->texts(), messages_, controls_);
    displaySettings_ = std::make_unique<config::DisplaySettingPanel>(*session_, language_->texts(), controls_);
    loadProfile_ =
        std::make_unique<loadprofile::LoadProfilePanel>(*session_, *downloadPace_, language_->texts(), controls_);
    // The lists that follow the firmware take its entries after the
    // load-profile lists were built.
    views_->followLayout();
    downloadPanel_ = std::make_unique<loadprofile::DownloadPanel>(*session_, *downloadPace_, language_->texts(),
                                                                  messages_, controls_, programDir_);
    dateRange_ = std::make_unique<loadprofile::DateRangePanel>(*session_, *downloadPace_, *downloadPanel_,
                                                               language_->texts(), messages_, controls_);
    archive_ = std::make_unique<ArchiveLink>(archive::chosenArchive(), *session_, *downloadPace_, *dateRange_,
                                             language_->texts(), messages_, controls_);
    wireCycleEnd();

    // The load-profile viewer on the user's archive, built with the window so
    // that the language reaches its captions; it opens the archive when shown.
    auto *viewer = new lpviewer::LoadProfileViewer(language_->texts(), messages_, this);
    connect(controls_.require<QPushButton>(QStringLiteral("cmdLPViewer")), &QPushButton::clicked, viewer,
            [viewer] { viewer->openArchive(archive::chosenArchive()); });
    connect(viewer, &lpviewer::LoadProfileViewer::archiveChosen, this,
            [this](const QString &chosen) { archive_->setArchive(chosen); });

    connect(controls_.require<QPushButton>(QStringLiteral("cmdScanComPort")),
            &QPushButton::clicked, portScan_.get(), &links::PortScan::cmdScanComPort_Click);
    connect(controls_.require<QPushButton>(QStringLiteral("langCheck")), &QPushButton::clicked,
            language_.get(), &i18n::LanguageController::langCheck_Click);
    connect(language_.get(), &i18n::LanguageController::languageChosen, this,
            [this](i18n::Language language) {
                setWindowTitle(titles_.forLanguage(language));
                applyLanguageTexts();
            });
    wirePageButtons();

    // The communication log and the trend: buttons beside the status line,
    // Ctrl+L and Ctrl+T.
    traffic_ = new links::TrafficWindow(transactions(), language_->texts(), messages_, this);
    addWindowButton(traffic_, "cmdTrafficLog", "Log", "trafficini", "traffic_Button",
                    QKeySequence(Qt::CTRL | Qt::Key_L));
    trend_ = new trend::TrendWindow(poll, link, language_->texts(), messages_, programDir_, this);
    connect(language_.get(), &i18n::LanguageController::languageApplied, trend_,
            [this] { trend_->applyLanguage(language_->file()); });
    addWindowButton(trend_, "cmdTrend", "Trend", "trendini", "trend_Button", QKeySequence(Qt::CTRL | Qt::Key_T));

    resize(1180, 860);
}

void MainForm::addWindowButton(QWidget *window, const char *name, const char *english, const char *section,
                               const char *key, const QKeySequence &shortcut)
{
    auto *button = ui::makeKeyed<QPushButton>(this, english, section, key);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(shortcut.toString(QKeySequence::PortableText));
    statusBar()->addPermanentWidget(button);
    const auto open = [window] {
        window->show();
        window->raise();
        window->activateWindow();
    };
    connect(button, &QPushButton::clicked, this, open);
    connect(new QShortcut(shortcut, this), &QShortcut::activated, this, open);
}

MainForm::~MainForm()
{
    // No timer may fire into half-destroyed subsystems.
    stopTimers();
}

void MainForm::stopTimers()
{
    session_->poll().pause();
    downloadPace_->stopTimers();
    phasor_->stopTimer();
}

void MainForm::wireCycleEnd()
{
    connect(&session_->poll(), &session::PollCycle::cycleEnded, this, [this](bool online) {
        // On the cycle's connection: the load profile's reads (the newest
        // records' times, a date search), then a start that waited for the
        // meter to be read.
        if (online) {
            downloadPace_->cycleEnded();
            downloadPanel_->cycleEnded();
        }
        // The phasor window opens only while no date search is asked for.
        if (!dateSearch_->lpReadByDate())
            phasor_->windowDue();
    });
}

modbus::Transactions &MainForm::transactions() { return session_->transactions(); }
links::TransactionLink &MainForm::transactionLink() { return session_->line().transactions; }
links::LinkState &MainForm::link() { return session_->link(); }
session::PollCycle &MainForm::poll() { return session_->poll(); }

bool MainForm::Form_Load()
{
    LanguageSelForm start(files_, messages_, programDir_, this);
    start.Form_Load();
    start.exec();
    if (start.ConnectChoice == LanguageSelForm::kLeave)
        return false;

    links::LinkState &link = session_->link();
    link.RtuMode = start.ConnectChoice == 0;
    connection_->showModeControls(link.RtuMode);

    const int languageIndex = start.LangChoice;
    language_->applyLanguage(languageIndex >= 0 && languageIndex < i18n::kLanguageCount
                                 ? static_cast<i18n::Language>(languageIndex)
                                 : i18n::Language::English);
    applyLanguageTexts();

    // The serial ports are scanned in either mode, twice in serial mode; a
    // machine without ports is told so only once.
    bool noPortReported = false;
    if (link.RtuMode)
        noPortReported = portScan_->scan(true);
    portScan_->scan(!noPortReported);

    OpenTextFileTest();

    stopTimers();
    link.setLinkOnline(false);

    fillStartupLists(controls_);
    connection_->showInitialState();
    pageScroller_->installWheelHook(this);
    return true;
}

void MainForm::applyLanguageTexts()
{
    harmonicChart_->setTitles(language_->texts().harmonic_Order, language_->texts().harmonic_Unit);
    // The log and trend buttons' short captions name the windows they open
    // in full for screen readers, in the window's language.
    controls_.require<QWidget>(QStringLiteral("cmdTrafficLog"))->setAccessibleName(traffic_->windowTitle());
    controls_.require<QWidget>(QStringLiteral("cmdTrend"))->setAccessibleName(trend_->windowTitle());
}

void MainForm::OpenTextFileTest()
{
    titles_ = WindowTitles::read(programDir_);
    setWindowTitle(titles_.forLanguageCode(language_->texts().LanguageCode));
}

phasor::PhaserCaptions MainForm::phaserCaptions() const
{
    const i18n::LanguageTexts &t = language_->texts();
    return {t.Phaser_La7,    t.Phaser_La51,   t.Phaser_La52, t.Phaser_La2_5,
            t.Phaser_La2_54, t.Phaser_End,    t.LanguageCode};
}

void MainForm::Command9_Click(int index)
{
    auto *panel0 = controls_.require<QTabWidget>(QStringLiteral("SSTab2(0)"));
    auto *panel1 = controls_.require<QTabWidget>(QStringLiteral("SSTab2(1)"));
    if (index == 0 || index == 1)
        panel1->setCurrentIndex(index);
    if (index >= 0)
        panel0->setCurrentIndex(index);
}

void MainForm::Command10_Click(int index)
{
    const int tab = sstab1TabOfCommand10(index);
    if (tab >= 0)
        controls_.require<QTabWidget>(QStringLiteral("SSTab1"))->setCurrentIndex(tab);
}

void MainForm::Command11_Click(int index)
{
    if (index >= 0)
        controls_.require<QTabWidget>(QStringLiteral("SSTab3"))->setCurrentIndex(index);
}

void MainForm::wirePageButtons()
{
    auto group = [this](const char *name) {
        return findChild<QButtonGroup *>(QLatin1String(name) + QStringLiteral("Group"));
    };
    // The pressed page button follows the tab shown, however it was chosen.
    auto follow = [](QButtonGroup *buttons, QTabWidget *tabs, auto buttonOfTab) {
        auto show = [buttons, buttonOfTab](int tab) {
            if (QAbstractButton *button = buttons->button(buttonOfTab(tab)))
                button->setChecked(true);
        };
        QObject::connect(tabs, &QTabWidget::currentChanged, buttons, show);
        show(tabs->currentIndex());
    };
    auto same = [](int tab) { return tab; };

    QButtonGroup *command9 = group("Command9");
    QButtonGroup *command10 = group("Command10");
    QButtonGroup *command11 = group("Command11");
    connect(command9, &QButtonGroup::idClicked, this, &MainForm::Command9_Click);
    connect(command10, &QButtonGroup::idClicked, this, &MainForm::Command10_Click);
    connect(command11, &QButtonGroup::idClicked, this, &MainForm::Command11_Click);
    follow(command9, controls_.require<QTabWidget>(QStringLiteral("SSTab2(0)")), same);
    follow(command9, controls_.require<QTabWidget>(QStringLiteral("SSTab2(1)")), same);
    follow(command11, controls_.require<QTabWidget>(QStringLiteral("SSTab3")), same);
    follow(command10, controls_.require<QTabWidget>(QStringLiteral("SSTab1")),
           command10OfSstab1Tab);
}

void MainForm::closeEvent(QCloseEvent *event)
{
    pageScroller_->removeWheelHook();
    stopTimers();
    // A transaction still waiting returns at once once the link is offline.
    session_->link().closeAndGoOffline();
    event->accept();
    emit unloaded();
}

} // namespace app
