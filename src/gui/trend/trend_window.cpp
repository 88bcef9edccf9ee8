#include "gui/trend/trend_window.h"

#include "gui/trend/trend_chart.h"
#include "gui/ui/elided_label.h"
#include "gui/ui/messages.h"
#include "gui/ui/named_controls.h"
#include "i18n/language_texts.h"
#include "links/link_state.h"
#include "session/poll_cycle.h"
#include "trend/csv_rows.h"
#include "trend/quantity_captions.h"
#include "trend/time_ticks.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace trend {

namespace {

using meter::Q;
using meter::QuantityGroup;

constexpr const char *kSection = "trendini";
constexpr int kRefreshMs = 1000;
constexpr qint64 kSpansMs[] = {60 * 1000, 10 * 60 * 1000, 3600 * 1000};
constexpr Q kDefaultChoice[] = {meter::VoltageLnA, meter::VoltageLnB, meter::VoltageLnC,
                                meter::CurrentA,   meter::CurrentB,   meter::CurrentC};

struct ChooserGroup {
    QuantityGroup group;
    const char *english;
    const char *key;
};
// The groups of the chooser, as the main window groups its values.
constexpr ChooserGroup kGroups[] = {
    {QuantityGroup::Voltage, "Voltage", "trend_GroupVoltage"},
    {QuantityGroup::Current, "Current", "trend_GroupCurrent"},
    {QuantityGroup::Power, "Power", "trend_GroupPower"},
    {QuantityGroup::PowerFactor, "Power factor", "trend_GroupPF"},
    {QuantityGroup::Frequency, "Frequency", "trend_GroupFrequency"},
    {QuantityGroup::Energy, "Energy", "trend_GroupEnergy"},
    {QuantityGroup::Demand, "Demand", "trend_GroupDemand"},
    {QuantityGroup::Thd, "THD", "trend_GroupThd"},
};

QPushButton *button(QWidget *parent, const QString &name, const char *english, const char *key)
{
    auto *b = ui::makeKeyed<QPushButton>(parent, english, kSection, key);
    b->setObjectName(name);
    return b;
}

} // namespace

TrendWindow::TrendWindow(session::PollCycle &poll, links::LinkState &link, const i18n::LanguageTexts &texts,
                         ui::Messages &messages, const QString &programDir, QWidget *parent)
    : QDialog(parent), poll_(poll), link_(link), texts_(texts), messages_(messages),
      programDir_(programDir), recorder_(this), chart_(new TrendChart(this))
{
    setObjectName(QStringLiteral("frmTrend"));
    setWindowTitle(QStringLiteral("Trend"));
    ui::setCaptionKey(this, kSection, "trend_Title");
    setModal(false);
    resize(1100, 640);

    hover_ = ui::makeNamed<QLabel>(this, "txtTrendHover");
    auto *right = new QVBoxLayout;
    right->addWidget(chart_, 1);
    right->addWidget(hover_);
    auto *body = new QHBoxLayout;
    body->addWidget(buildChooser());
    body->addLayout(right, 1);
    // The tools span the window, so that the recording's file name has the
    // room to show whole.
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildTools());
    layout->addLayout(body, 1);

    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(kRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &TrendWindow::refresh);
    connect(chart_, &TrendChart::hovered, hover_, &QLabel::setText);
    connect(chart_, &TrendChart::userZoomed, this, [this] {
        // A zoomed chart stands still, and shows its span in finer detail.
        pause_->setChecked(true);
        chart_->showZoomed(store_);
    });
    // Told once the poll's step that met the failure has ended.
    connect(&recorder_, &trend::Recorder::failed, this, &TrendWindow::recordingFailed, Qt::QueuedConnection);

    for (const Q q : kDefaultChoice)
        choices_.at(q)->setChecked(true);
    takeChoice();
}

QWidget *TrendWindow::buildChooser()
{
    auto *list = new QWidget;
    auto *column = new QVBoxLayout(list);
    column->setContentsMargins(2, 2, 2, 2);
    for (std::size_t g = 0; g < std::size(kGroups); ++g) {
        auto *frame = ui::makeKeyed<QGroupBox>(list, kGroups[g].english, kSection, kGroups[g].key);
        frame->setObjectName(QStringLiteral("frmTrendGroup(%1)").arg(g));
        auto *boxes = new QVBoxLayout(frame);
        boxes->setSpacing(1);
        for (int q = 0; q < meter::kQuantityCount; ++q) {
            if (meter::quantity(Q(q)).group != kGroups[g].group)
                continue;
            auto *box = ui::makeNamed<QCheckBox>(frame, QStringLiteral("chkTrend(%1)").arg(q));
            // The id until a language names it.
            box->setText(trend::columnName(Q(q)));
            box->setToolTip(meter::quantity(Q(q)).id);
            connect(box, &QCheckBox::toggled, this, &TrendWindow::takeChoice);
            choices_.emplace(Q(q), box);
            boxes->addWidget(box);
        }
        column->addWidget(frame);
    }
    column->addStretch();
    chooser_ = ui::makeNamed<QScrollArea>(this, "lstTrendQuantities");
    chooser_->setWidget(list);
    chooser_->setWidgetResizable(true);
    chooser_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fitChooser();
    return chooser_;
}

void TrendWindow::fitChooser()
{
    chooser_->setMinimumWidth(chooser_->widget()->sizeHint().width() + 24);
}

void TrendWindow::applyLanguage(const i18n::IniFile &language)
{
    std::map<Q, QString> names;
    for (const auto &[q, box] : choices_) {
        names[q] = trend::quantityCaption(q, language);
        box->setText(names[q]);
    }
    // The legend names the curves as the chooser does.
    chart_->setNames(std::move(names));
    fitChooser();
}

QWidget *TrendWindow::buildTools()
{
    auto *tools = new QWidget;
    auto *row = new QHBoxLayout(tools);
    row->setContentsMargins(0, 0, 0, 0);
    spans_ = new QButtonGroup(this);
    const char *spanTexts[][2] = {{"1 min", "trend_Span1m"}, {"10 min", "trend_Span10m"},
                                  {"1 h", "trend_Span1h"}, {"All", "trend_SpanAll"}};
    for (int s = 0; s < int(std::size(spanTexts)); ++s) {
        QPushButton *span =
            button(tools, QStringLiteral("cmdTrendSpan(%1)").arg(s), spanTexts[s][0], spanTexts[s][1]);
        span->setCheckable(true);
        spans_->addButton(span, s);
        row->addWidget(span);
    }
    spans_->button(OneMinute)->setChecked(true);
    connect(spans_, &QButtonGroup::idClicked, this, &TrendWindow::resetZoom);

    row->addSpacing(12);
    pause_ = button(tools, QStringLiteral("cmdTrendPause"), "Pause", "trend_Pause");
    pause_->setCheckable(true);
    connect(pause_, &QPushButton::toggled, this, [this](bool paused) {
        if (!paused)
            resetZoom();
    });
    row->addWidget(pause_);
    QPushButton *reset = button(tools, QStringLiteral("cmdTrendResetZoom"), "Reset zoom", "trend_ResetZoom");
    connect(reset, &QPushButton::clicked, this, &TrendWindow::resetZoom);
    row->addWidget(reset);
    QPushButton *save = button(tools, QStringLiteral("cmdTrendSave"), "Save PNG...", "trend_SavePng");
    connect(save, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, windowTitle(), QStringLiteral("trend.png"),
                                                          QStringLiteral("PNG (*.png)"));
        if (!path.isEmpty())
            saveChartPng(path);
    });
    row->addWidget(save);

    row->addSpacing(12);
    record_ = button(tools, QStringLiteral("cmdTrendRecord"), "Record", "trend_Record");
    record_->setCheckable(true);
    connect(record_, &QPushButton::toggled, this, &TrendWindow::setRecording);
    row->addWidget(record_);
    file_ = ui::makeNamed<ui::ElidedLabel>(tools, "txtTrendFile");
    row->addWidget(file_, 1);
    return tools;
}

void TrendWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!followed_.empty())
        return;
    followed_.push_back(connect(&poll_, &session::PollCycle::readingUpdated, this, &TrendWindow::readingUpdated));
    followed_.push_back(connect(&poll_, &session::PollCycle::layoutApplied, this, &TrendWindow::enableChoices));
    followed_.push_back(connect(&link_, &links::LinkState::linkOnlineChanged, this, &TrendWindow::linkOnlineChanged));
    enableChoices();
    refresh();
}

void TrendWindow::hideEvent(QHideEvent *event)
{
    for (const QMetaObject::Connection &connection : followed_)
        disconnect(connection);
    followed_.clear();
    refreshTimer_.stop();
    // What comes while the window is closed is not seen: a gap.
    store_.addGap(QDateTime::currentMSecsSinceEpoch());
    record_->setChecked(false);
    QDialog::hideEvent(event);
}

void TrendWindow::takeChoice()
{
    std::vector<Q> chosen;
    for (const auto &[q, box] : choices_)
        if (box->isChecked())
            chosen.push_back(q);
    store_.choose(chosen);
    chart_->setQuantities(store_.chosen());
    enableChoices();
    refresh();
}

void TrendWindow::enableChoices()
{
    const meter::Reading &reading = poll_.reading();
    const bool full = store_.chosen().size() >= trend::PointStore::kMaxQuantities;
    for (const auto &[q, box] : choices_) {
        const bool read = meter::readsQuantity(q, reading.firmwareNumber, poll_.displayBase());
        // A quantity the meter does not read is no longer chosen.
        if (!read && box->isChecked())
            box->setChecked(false);
        box->setEnabled(read && !recorder_.isRecording() && !record_->isChecked()
                        && (box->isChecked() || !full));
    }
}

void TrendWindow::readingUpdated(unsigned parts)
{
    const meter::Reading &reading = poll_.reading();
    if (parts & meter::Firmware)
        enableChoices();
    if (reading.identity && !sameMeter(reading.identity->serial))
        return;
    if (store_.take(reading))
        scheduleRefresh();
    if ((parts & meter::Measurements) && record_->isChecked()) {
        if (!recorder_.isRecording())
            startFile();
        recorder_.append(QDateTime::fromMSecsSinceEpoch(reading.receivedAtMs[meter::VoltageLnA]), reading);
    }
}

void TrendWindow::linkOnlineChanged(bool online)
{
    if (online)
        return;
    // The curves stop here; the file is closed, and a new one starts when
    // the link is back with the recording still on.
    store_.addGap(QDateTime::currentMSecsSinceEpoch());
    recorder_.stop();
    scheduleRefresh();
}

bool TrendWindow::sameMeter(const QString &serial)
{
    if (trendSerial_.isNull() || store_.lastMs() == 0) {
        trendSerial_ = serial;
        return true;
    }
    if (serial == trendSerial_)
        return true;
    if (!record_->isChecked()) {
        startNewTrend(serial);
        return true;
    }
    // The question waits for the poll's step to end: the cycle goes on meanwhile.
    if (!askingAboutMeter_) {
        askingAboutMeter_ = true;
        QMetaObject::invokeMethod(this, [this, serial] { askAboutOtherMeter(serial); }, Qt::QueuedConnection);
    }
    return false;
}

void TrendWindow::askAboutOtherMeter(const QString &serial)
{
    const ui::MessageAnswer answer =
        messages_.show(ui::MessageKind::YesNo, QString(), texts_.trend_OtherMeter.arg(trendSerial_, serial));
    askingAboutMeter_ = false;
    if (answer != ui::MessageAnswer::Yes)
        record_->setChecked(false);
    startNewTrend(serial);
}

void TrendWindow::startNewTrend(const QString &serial)
{
    recorder_.stop();
    store_.clear();
    trendSerial_ = serial;
    resetZoom();
}

void TrendWindow::setRecording(bool on)
{
    if (!on)
        recorder_.stop();
    else if (link_.LinkOnline() && poll_.reading().identity) {
        startFile();
    }
    enableChoices();
}

void TrendWindow::startFile()
{
    QString error;
    const QString serial = poll_.reading().identity ? poll_.reading().identity->serial : QString();
    if (!recorder_.start(trend::recordingFolders(programDir_), serial, QDateTime::currentDateTime(),
                         store_.chosen(), &error))
        return recordingFailed(error);
    // The file's own name; the tool tip the whole path.
    const QString path = QDir::toNativeSeparators(recorder_.path());
    file_->setWholeText(QFileInfo(recorder_.path()).fileName());
    file_->setToolTip(path);
}

void TrendWindow::recordingFailed(const QString &message)
{
    record_->setChecked(false);
    messages_.show(ui::MessageKind::Exclamation, QString(), texts_.trend_RecordFailed + QLatin1Char('\n') + message);
}

void TrendWindow::scheduleRefresh()
{
    if (!pause_->isChecked() && !refreshTimer_.isActive())
        refreshTimer_.start();
}

void TrendWindow::refresh()
{
    if (pause_->isChecked())
        return;
    const qint64 last = store_.lastMs() ? store_.lastMs() : QDateTime::currentMSecsSinceEpoch();
    const int span = spans_->checkedId();
    if (span == All)
        return chart_->showSpan(store_, store_.firstMs() ? store_.firstMs() : last, last);
    // The axis' labels stand still between ticks rather than crawl along
    // with every reading.
    const trend::TimeTicks ticks = trend::followedTicks(kSpansMs[span], last, trend::localUtcOffsetMs(last));
    chart_->showSpan(store_, ticks.fromMs, ticks.toMs, ticks.count);
}

void TrendWindow::resetZoom()
{
    chart_->resetZoom();
    const QSignalBlocker quiet(pause_);
    pause_->setChecked(false);
    refresh();
}

bool TrendWindow::saveChartPng(const QString &path)
{
    if (chart_->grab().save(path, "PNG"))
        return true;
    messages_.show(ui::MessageKind::Exclamation, QString(),
                   QStringLiteral("Cannot write %1").arg(QDir::toNativeSeparators(path)));
    return false;
}

} // namespace trend
