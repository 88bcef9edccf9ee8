#include "viewer_timing.h"

#include "gui/lpviewer/load_profile_chart.h"
#include "gui/lpviewer/load_profile_viewer.h"
#include "gui/ui/messages.h"
#include "i18n/language_texts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr double kAimMs = 300;

class SilentMessages : public ui::Messages {
public:
    ui::MessageAnswer show(ui::MessageKind, const QString &, const QString &text) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return ui::MessageAnswer::Ok;
    }
};

// Milliseconds from the action to the window painted with what the viewer
// drew last; a negative time when it did not draw within a minute.
template <class Action>
double msUntilPainted(lpviewer::LoadProfileViewer &viewer, Action action)
{
    QEventLoop loop;
    const auto drawn = QObject::connect(&viewer, &lpviewer::LoadProfileViewer::periodShown, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, [&loop] { loop.exit(1); });
    QElapsedTimer timer;
    timer.start();
    action();
    const bool failed = loop.exec() != 0;
    QObject::disconnect(drawn);
    if (failed)
        return -1;
    QCoreApplication::processEvents(); // layouts the drawing asked for, the legend's among them
    viewer.grab();                     // paints the window, the chart's scene with it
    return double(timer.nsecsElapsed()) / 1e6;
}

QPushButton *button(lpviewer::LoadProfileViewer &viewer, const char *name)
{
    return viewer.findChild<QPushButton *>(QLatin1String(name));
}

} // namespace

bool timeViewer(const QString &archivePath)
{
    const i18n::LanguageTexts texts;
    SilentMessages messages;
    lpviewer::LoadProfileViewer viewer(texts, messages, nullptr);
    viewer.resize(1160, 780);
    const double opened = msUntilPainted(viewer, [&] { viewer.openArchive(archivePath); });
    auto *channels = viewer.findChild<QListWidget *>(QStringLiteral("lstLPViewerChannels"));
    if (opened < 0 || channels->count() < 8)
        return false;
    // Every channel of the group on the week shown, then the month.
    for (int i = 1; i < channels->count(); ++i)
        msUntilPainted(viewer, [&] { channels->item(i)->setCheckState(Qt::Checked); });
    const double month = msUntilPainted(viewer, [&] { button(viewer, "cmdLPViewerMonth")->click(); });
    long long points = 0;
    for (const QLineSeries *line : viewer.chart().lines())
        points += line->count();

    std::vector<double> steps;
    for (int k = 0; k < 11 && button(viewer, "cmdLPViewerPrevious")->isEnabled(); ++k)
        steps.push_back(msUntilPainted(viewer, [&] { button(viewer, "cmdLPViewerPrevious")->click(); }));
    // The whole year five times (a month between), for a median that a
    // machine busy with something else moves less.
    std::vector<double> years;
    for (int k = 0; k < 5; ++k) {
        years.push_back(msUntilPainted(viewer, [&] { button(viewer, "cmdLPViewerAll")->click(); }));
        msUntilPainted(viewer, [&] { button(viewer, "cmdLPViewerMonth")->click(); });
    }
    std::sort(years.begin(), years.end());
    const double all = years[years.size() / 2];
    if (month < 0 || years.front() < 0 || steps.empty() || *std::min_element(steps.begin(), steps.end()) < 0)
        return false;
    std::sort(steps.begin(), steps.end());
    const double median = steps[steps.size() / 2];

    std::printf("viewer (offscreen, 1160 x 780): opened on a week of one channel %.0f ms; first paint of a "
                "month of 8 channels (%lld points) %.0f ms, %.2f of the %.0f ms aim\n",
                opened, points, month, month / kAimMs, kAimMs);
    std::printf("viewer: a month back, %zu times: median %.0f ms (%.2f of the aim), slowest %.0f ms (%.2f); "
                "the whole year of 8 channels, median of %zu: %.0f ms (%.2f; %.0f to %.0f ms)\n",
                steps.size(), median, median / kAimMs, steps.back(), steps.back() / kAimMs, years.size(), all,
                all / kAimMs, years.front(), years.back());
    return true;
}
