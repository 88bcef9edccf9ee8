#pragma once

#include "polling/text_update.h"

#include <QString>
#include <QStringList>

// The controls of the main window that the poll cycle reads and writes,
// named as in the window (index -1 for a control that is not in an array).
class PollView {
public:
    virtual ~PollView() = default;
    virtual void setText(const QString &control, int index, const QString &text) = 0;
    virtual QString text(const QString &control, int index) const = 0;
    virtual void setEnabled(const QString &control, int index, bool enabled) = 0;
    virtual void setVisible(const QString &control, int index, bool visible) = 0;
    virtual bool isChecked(const QString &control, int index) const = 0;
    virtual void setTabEnabled(const QString &control, int index, int tab, bool enabled) = 0;
    // Replaces a list's entries and selects one.
    virtual void setListItems(const QString &control, int index, const QStringList &items,
                              int selected) = 0;

    void apply(const polling::TextUpdates &updates)
    {
        for (const polling::TextUpdate &u : updates)
            setText(u.control, u.index, u.text);
    }
};
