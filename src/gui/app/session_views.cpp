#include "gui/app/session_views.h"

#include "gui/meter/harmonic_chart.h"
#include "gui/ui/caption.h"
#include "gui/ui/control_map.h"
#include "gui/ui/named_controls.h"
#include "i18n/language_texts.h"
#include "links/link_state.h"
#include "session/meter_session.h"

#include <QAbstractButton>

namespace app {

SessionViews::SessionViews(session::MeterSession &session, QWidget *window, meter::HarmonicChart &chart,
                           const i18n::LanguageTexts &texts, QObject *parent)
    : QObject(parent), session_(session), controls_(window), reading_(window), layout_(window)
{
    session::PollCycle &poll = session_.poll();
    // The texts of a cycle's reads go into the window together at the end of
    // its reads (or when the link goes), so that the window lays out and draws
    // once a cycle, not once for every block read between two waits.
    connect(&poll, &session::PollCycle::tickStarted, this, [this, &texts] {
        reading_.endBatch();
        QWidget *online = controls_.require<QWidget>(QStringLiteral("txt_Online"));
        if (ui::caption(online) != texts.online_Status2)
            ui::setCaption(online, texts.online_Status2);
        reading_.beginBatch();
    });
    connect(&poll, &session::PollCycle::cycleEnded, this, [this] { reading_.endBatch(); });
    connect(&session_.link(), &links::LinkState::linkOnlineChanged, this, [this] { reading_.endBatch(); });
    // A setting the meter refused is told in the status line; one it did not
    // answer the transactions have told already, and it takes the link offline.
    connect(&session_, &session::MeterSession::requestFinished, this,
            [this, &texts](const session::MeterRequest &, const session::RequestResult &result) {
                if (result.outcome == session::RequestResult::Outcome::Exception)
                    status(texts.rightdown_RequestRefused.arg(int(result.exceptionCode), 2, 10, QLatin1Char('0')));
            });
    connect(&poll, &session::PollCycle::samplesRead, this,
            [this](const meter::Samples &samples) { reading_.showSamples(samples, session_.poll().displayBase()); });
    connect(&poll, &session::PollCycle::readingUpdated, this, [this](unsigned parts) {
        reading_.showParts(session_.reading(), parts, session_.poll().displayBase());
    });
    connect(&poll, &session::PollCycle::co2Blanked, this, [this] { reading_.blankCO2(session_.poll().displayBase()); });
    connect(&poll, &session::PollCycle::harmonicsShown, this, [this, &chart] {
        reading_.showHarmonics(session_.reading().harmonics);
        chart.showValues(session_.reading().harmonics);
    });
    connect(&poll, &session::PollCycle::layoutChosen, this, [this](const meter::PanelChoice &choice) {
        choice_ = choice;
        layout_.applyPanel(choice);
    });
    connect(&poll, &session::PollCycle::withdrawn, this, [this, &chart](const meter::Withdrawn &withdrawn) {
        reading_.withdraw(withdrawn, session_.poll().displayBase());
        if (withdrawn.parts & meter::Harmonics)
            chart.showValues({});
    });
    // A read the meter refuses is told for as long as it refuses it; the
    // cycle's clearing of older messages leaves that one standing.
    connect(&poll, &session::PollCycle::refusalsChanged, this, [this, &texts] {
        const QString shown = refusal_;
        refusal_ = refusalText(texts);
        if (!refusal_.isEmpty())
            status(refusal_);
        else if (!shown.isEmpty() && ui::caption(controls_.require<QWidget>(QStringLiteral("Text6"))) == shown)
            status(QString());
    });
    connect(&poll, &session::PollCycle::statusCleared, this, [this] { status(refusal_); });
    connect(&session_, &session::MeterSession::statusText, this, &SessionViews::status);

    // The harmonic channel the cycle reads: the chosen option (the last one
    // is "none").
    for (int k = 0; k <= 6; ++k) {
        auto *option = controls_.require<QAbstractButton>(QStringLiteral("optHarmonic"), k);
        const auto choose = [this, k] { session_.poll().setHarmonicChannel(k < 6 ? std::optional(k) : std::nullopt); };
        connect(option, &QAbstractButton::toggled, this, [choose](bool on) {
            if (on)
                choose();
        });
        if (option->isChecked())
            choose();
    }
}

void SessionViews::followLayout()
{
    connect(&session_.poll(), &session::PollCycle::layoutApplied, this, [this] {
        layout_.applySettings(choice_);
    });
}

QString SessionViews::refusalText(const i18n::LanguageTexts &texts) const
{
    const auto &refused = session_.poll().refusedReads();
    if (refused.empty())
        return {};
    const session::RefusedRead &first = refused.front();
    const auto hex = [](int value, int width) { return QString::number(value, 16).toUpper().rightJustified(width, QLatin1Char('0')); };
    return texts.rightdown_ReadRefused.arg(QStringLiteral("0x") + hex(first.start, 4), hex(first.function, 2), hex(first.code, 2));
}

void SessionViews::status(const QString &text)
{
    QWidget *line = controls_.require<QWidget>(QStringLiteral("Text6"));
    if (ui::caption(line) == text)
        return;
    // What the cycle read before the message shows before it.
    reading_.flushBatch();
    ui::setCaption(line, text);
}

} // namespace app
