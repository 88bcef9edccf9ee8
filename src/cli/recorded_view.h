#pragma once

#include "polling/poll_view.h"

#include <QHash>
#include <QPair>

// The poll cycle's view without a window: it keeps the texts the cycle
// writes, by control name and index, so a poll shows exactly what the window
// would. Lists keep their selected entry as their text; no option is
// checked, so no harmonic spectrum is read.
class RecordedView : public PollView {
public:
    void setText(const QString &control, int index, const QString &text) override
    {
        texts_.insert({control, index}, text);
    }
    QString text(const QString &control, int index) const override
    {
        return texts_.value({control, index});
    }
    void setEnabled(const QString &, int, bool) override {}
    void setVisible(const QString &, int, bool) override {}
    bool isChecked(const QString &, int) const override { return false; }
    void setTabEnabled(const QString &, int, int, bool) override {}
    void setListItems(const QString &control, int index, const QStringList &items,
                      int selected) override
    {
        setText(control, index, selected >= 0 && selected < items.size() ? items[selected] : QString());
    }

private:
    QHash<QPair<QString, int>, QString> texts_;
};
