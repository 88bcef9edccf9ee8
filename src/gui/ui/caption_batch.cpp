#include "gui/ui/caption_batch.h"

#include "gui/ui/caption.h"

#include <QEvent>

namespace ui {

void CaptionBatch::set(QWidget *control, const QString &text)
{
    if (!control)
        return;
    if (!collecting_) {
        apply(control, text);
        return;
    }
    if (const auto at = collectedAt_.constFind(control); at != collectedAt_.constEnd()) {
        collected_[*at].text = text;
        return;
    }
    collectedAt_.insert(control, collected_.size());
    collected_.push_back({control, text});
}

void CaptionBatch::flush()
{
    // Taken first: a caption set may run code that sets captions again.
    std::vector<Collected> collected;
    collected.swap(collected_);
    collectedAt_.clear();
    for (const Collected &c : collected)
        if (c.control)
            apply(c.control, c.text);
}

void CaptionBatch::apply(QWidget *control, const QString &text)
{
    if (control->window()->isVisible() && !control->isVisible()) {
        defer(control, text);
        return;
    }
    deferred_.remove(control);
    if (caption(control) != text)
        setCaption(control, text);
}

void CaptionBatch::defer(QWidget *control, const QString &text)
{
    const QString shown = caption(control);
    if (shown == text) {
        deferred_.remove(control);
        return;
    }
    if (!watched_.contains(control)) {
        watched_.insert(control);
        control->installEventFilter(this);
        connect(control, &QObject::destroyed, this, [this, control] {
            deferred_.remove(control);
            watched_.remove(control);
        });
    }
    deferred_.insert(control, {text, shown});
}

bool CaptionBatch::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Show)
        return false;
    auto *control = static_cast<QWidget *>(watched);
    const auto it = deferred_.constFind(control);
    if (it == deferred_.constEnd())
        return false;
    const Deferred deferred = *it;
    deferred_.erase(it);
    if (caption(control) == deferred.shownThen)
        setCaption(control, deferred.text);
    return false;
}

} // namespace ui
