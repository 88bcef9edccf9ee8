#pragma once

#include "polling/poll_view.h"
#include "ui/control_map.h"

// The poll cycle's view of the main window: controls found by object name
// ("name" or "name(index)") below a root widget, by the window's one look-up
// rule (see ControlMap).
class WidgetPollView : public PollView {
public:
    explicit WidgetPollView(QWidget *root) : controls_(root) {}

    void setText(const QString &control, int index, const QString &text) override;
    QString text(const QString &control, int index) const override;
    void setEnabled(const QString &control, int index, bool enabled) override;
    void setVisible(const QString &control, int index, bool visible) override;
    bool isChecked(const QString &control, int index) const override;
    void setTabEnabled(const QString &control, int index, int tab, bool enabled) override;
    void setListItems(const QString &control, int index, const QStringList &items,
                      int selected) override;

    // The control of that name, or nullptr (with a warning: the poll cycle
    // names only controls the window has).
    QWidget *find(const QString &control, int index) const;

private:
    ControlMap controls_;
};
