#pragma once

#include "links/traffic_log.h"

#include <QDialog>
#include <QTimer>

#include <vector>

namespace ui {
class Messages;
}
class QComboBox;
class QPlainTextEdit;
class QPushButton;
namespace i18n {
struct LanguageTexts;
}
namespace modbus {
class Transactions;
}

namespace links {

// The traffic view: every frame sent and received on the link while it is
// open, with what became of it. Not modal: the window and the poll go on.
// The transactions report to it only while it is shown, so a closed view
// costs nothing. Pause, clear, a filter (errors only, one function), copy
// and save as a text file.
class TrafficWindow : public QDialog {
    Q_OBJECT
public:
    TrafficWindow(modbus::Transactions &transactions, const i18n::LanguageTexts &texts,
                  ui::Messages &messages, QWidget *parent);

    // The lines the filter lets through, one per line.
    QString shownText() const;
    // Writes the lines shown to a text file (CR LF, UTF-8); false after
    // telling the user why not.
    bool saveTo(const QString &path);

    TrafficLog &log() { return log_; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    bool passes(const TrafficLog::Entry &entry) const;
    // The log's entries the filter lets through.
    std::vector<TrafficLog::Entry> passing() const;
    void refill();
    void append(const TrafficLog::Entry &entry);
    void flush();
    // Appends entries as lines, failures in red, and follows the end when
    // the view was at the end.
    void showEntries(const std::vector<TrafficLog::Entry> &entries);

    modbus::Transactions &transactions_;
    const i18n::LanguageTexts &texts_;
    ui::Messages &messages_;
    TrafficLog log_;
    QPlainTextEdit *lines_;
    QPushButton *pause_;
    QPushButton *errorsOnly_;
    QComboBox *function_;
    // Lines waiting to be shown: the view takes them twice a second,
    // not once a frame, which keeps an open log cheap.
    std::vector<TrafficLog::Entry> pending_;
    QTimer flushTimer_;
};

} // namespace links
