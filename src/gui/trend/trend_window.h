#pragma once

#include "meter/quantities.h"
#include "trend/point_store.h"
#include "trend/recorder.h"

#include <QDialog>
#include <QTimer>

#include <map>
#include <vector>

namespace links {
class LinkState;
}
namespace ui {
class Messages;
}
namespace session {
class PollCycle;
}
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;
namespace ui {
class ElidedLabel;
}

class QScrollArea;
namespace i18n {
class IniFile;
struct LanguageTexts;
}

namespace trend {

class TrendChart;

// The trend: chosen values of the reading as curves over time, and a
// recorder of them to a CSV file. Not modal: the window and the poll go on.
// It follows the poll cycle and the link only while shown, so a closed
// trend costs nothing; closing it ends a recording and leaves a gap.
class TrendWindow : public QDialog {
    Q_OBJECT
public:
    // Time spans of the chart; All shows every point kept.
    enum Span { OneMinute, TenMinutes, OneHour, All };

    TrendWindow(session::PollCycle &poll, links::LinkState &link, const i18n::LanguageTexts &texts, ui::Messages &messages,
                const QString &programDir, QWidget *parent);

    // The chosen quantities, in the catalogue's order.
    const std::vector<meter::Q> &chosen() const { return store_.chosen(); }
    const trend::PointStore &store() const { return store_; }
    const trend::Recorder &recorder() const { return recorder_; }
    TrendChart &chart() { return *chart_; }
    // Writes the chart as it shows to a PNG file; false when it cannot.
    bool saveChartPng(const QString &path);
    // Names the chooser's quantities and the chart's legend in the language
    // applied (their ids stay in the tool tips).
    void applyLanguage(const i18n::IniFile &language);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *buildChooser();
    // The chooser as wide as its captions.
    void fitChooser();
    QWidget *buildTools();
    // The choice of the check boxes, in the catalogue's order.
    void takeChoice();
    // Check boxes of quantities the meter does not read, or past the
    // limit, or any while recording, are disabled.
    void enableChoices();
    void readingUpdated(unsigned parts);
    void linkOnlineChanged(bool online);
    // False while the reading is of another meter than the trend's and the
    // user has not yet said what becomes of the recording.
    bool sameMeter(const QString &serial);
    void askAboutOtherMeter(const QString &serial);
    void startNewTrend(const QString &serial);
    void setRecording(bool on);
    void startFile();
    void recordingFailed(const QString &message);
    void scheduleRefresh();
    void refresh();
    void resetZoom();

    session::PollCycle &poll_;
    links::LinkState &link_;
    const i18n::LanguageTexts &texts_;
    ui::Messages &messages_;
    QString programDir_;

    trend::PointStore store_;
    trend::Recorder recorder_;
    TrendChart *chart_;
    std::map<meter::Q, QCheckBox *> choices_;
    QScrollArea *chooser_;
    QButtonGroup *spans_;
    QPushButton *pause_;
    QPushButton *record_;
    ui::ElidedLabel *file_;
    QLabel *hover_;

    // Connections to the poll cycle and the link, held while shown.
    std::vector<QMetaObject::Connection> followed_;
    QTimer refreshTimer_;
    // The meter whose values the trend holds (its serial text); null
    // before the first reading.
    QString trendSerial_;
    bool askingAboutMeter_ = false;
};

} // namespace trend
