#include "gui/links/traffic_window.h"

#include "gui/ui/messages.h"
#include "gui/ui/named_controls.h"
#include "i18n/language_texts.h"
#include "modbus/transactions.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

namespace links {

namespace {

constexpr const char *kSection = "trafficini";
constexpr int kFlushMs = 500;

QPushButton *button(QWidget *parent, const char *name, const char *english, const char *key)
{
    auto *b = ui::makeKeyed<QPushButton>(parent, english, kSection, key);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

TrafficWindow::TrafficWindow(modbus::Transactions &transactions, const i18n::LanguageTexts &texts,
                             ui::Messages &messages, QWidget *parent)
    : QDialog(parent), transactions_(transactions), texts_(texts), messages_(messages)
{
    setObjectName(QStringLiteral("TrafficWindow"));
    setWindowTitle(QStringLiteral("Communication log"));
    ui::setCaptionKey(this, kSection, "traffic_Title");
    setModal(false);
    resize(980, 520);

    lines_ = ui::makeNamed<QPlainTextEdit>(this, "txtTraffic");
    lines_->setReadOnly(true);
    lines_->setLineWrapMode(QPlainTextEdit::NoWrap);
    lines_->setMaximumBlockCount(int(TrafficLog::kCapacity));
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    lines_->setFont(fixed);

    pause_ = button(this, "cmdTrafficPause", "Pause", "traffic_Pause");
    pause_->setCheckable(true);
    errorsOnly_ = button(this, "cmdTrafficErrors", "Errors only", "traffic_Errors");
    errorsOnly_->setCheckable(true);
    function_ = ui::makeNamedList(this, QStringLiteral("cmbTrafficFunction"), 4);
    function_->addItems({QStringLiteral("*"), QStringLiteral("03"), QStringLiteral("04"), QStringLiteral("10")});
    QPushButton *clear = button(this, "cmdTrafficClear", "Clear", "traffic_Clear");
    QPushButton *copy = button(this, "cmdTrafficCopy", "Copy", "traffic_Copy");
    QPushButton *save = button(this, "cmdTrafficSave", "Save...", "traffic_Save");

    auto *tools = new QHBoxLayout;
    tools->addWidget(pause_);
    tools->addWidget(clear);
    tools->addSpacing(16);
    tools->addWidget(errorsOnly_);
    tools->addWidget(ui::makeKeyed(this, "Function", kSection, "traffic_Function"));
    tools->addWidget(function_);
    tools->addStretch();
    tools->addWidget(copy);
    tools->addWidget(save);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(lines_, 1);

    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kFlushMs);
    connect(&flushTimer_, &QTimer::timeout, this, &TrafficWindow::flush);
    connect(&log_, &TrafficLog::added, this, &TrafficWindow::append);
    connect(&log_, &TrafficLog::cleared, this, [this] {
        pending_.clear();
        lines_->clear();
    });
    connect(clear, &QPushButton::clicked, &log_, &TrafficLog::clear);
    // Paused, the view stands still; resumed, it shows what came meanwhile.
    connect(pause_, &QPushButton::toggled, this, [this](bool paused) {
        if (!paused)
            refill();
    });
    connect(errorsOnly_, &QPushButton::toggled, this, &TrafficWindow::refill);
    connect(function_, &QComboBox::currentIndexChanged, this, &TrafficWindow::refill);
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(shownText()); });
    connect(save, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, windowTitle(), QStringLiteral("traffic.txt"));
        if (!path.isEmpty())
            saveTo(path);
    });
}

void TrafficWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    transactions_.setTrafficObserver(&log_);
}

void TrafficWindow::hideEvent(QHideEvent *event)
{
    transactions_.setTrafficObserver(nullptr);
    QDialog::hideEvent(event);
}

bool TrafficWindow::passes(const TrafficLog::Entry &entry) const
{
    if (errorsOnly_->isChecked() && !entry.error)
        return false;
    return function_->currentIndex() <= 0
           || entry.function == function_->currentText().toInt(nullptr, 16);
}

void TrafficWindow::append(const TrafficLog::Entry &entry)
{
    if (pause_->isChecked() || !passes(entry))
        return;
    pending_.push_back(entry);
    if (!flushTimer_.isActive())
        flushTimer_.start();
}

void TrafficWindow::flush()
{
    showEntries(pending_);
    pending_.clear();
}

void TrafficWindow::showEntries(const std::vector<TrafficLog::Entry> &entries)
{
    if (entries.empty())
        return;
    QScrollBar *bar = lines_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCharFormat plain;
    QTextCharFormat failure;
    failure.setForeground(QColor(0xC0, 0x00, 0x00));
    QTextCursor cursor(lines_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    // One insertion per run of lines of one colour.
    QString run;
    bool runError = false;
    const auto insertRun = [&] {
        if (!run.isEmpty())
            cursor.insertText(run, runError ? failure : plain);
        run.clear();
    };
    bool first = lines_->document()->isEmpty();
    for (const TrafficLog::Entry &entry : entries) {
        if (entry.error != runError) {
            insertRun();
            runError = entry.error;
        }
        if (!first)
            run += QLatin1Char('\n');
        first = false;
        run += entry.text;
    }
    insertRun();
    cursor.endEditBlock();
    if (atEnd)
        bar->setValue(bar->maximum());
}

void TrafficWindow::refill()
{
    pending_.clear();
    lines_->clear();
    showEntries(passing());
}

std::vector<TrafficLog::Entry> TrafficWindow::passing() const
{
    std::vector<TrafficLog::Entry> shown;
    for (const TrafficLog::Entry &entry : log_.entries())
        if (passes(entry))
            shown.push_back(entry);
    return shown;
}

QString TrafficWindow::shownText() const
{
    // From the log itself: lines not yet shown are included.
    QStringList shown;
    for (const TrafficLog::Entry &entry : passing())
        shown << entry.text;
    return shown.join(QLatin1Char('\n'));
}

bool TrafficWindow::saveTo(const QString &path)
{
    QFile file(path);
    QString text = shownText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(text.toUtf8() + "\r\n") >= 0 && file.flush()) {
        return true;
    }
    messages_.show(ui::MessageKind::Critical, texts_.strMsgBoxerr,
                   QStringLiteral("%1\n%2").arg(QDir::toNativeSeparators(path), file.errorString()));
    return false;
}

} // namespace links
