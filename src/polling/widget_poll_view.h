#pragma once

#include "polling/poll_view.h"

#include <QHash>
#include <QPointer>

class QWidget;

// The poll cycle's view of the main window: controls found by object name
// ("name" or "name(index)") below a root widget, looked up once and cached.
class WidgetPollView : public PollView {
public:
    explicit WidgetPollView(QWidget *root) : root_(root) {}

    void setText(const QString &control, int index, const QString &text) override;
    QString text(const QString &control, int index) const override;
    void setEnabled(const QString &control, int index, bool enabled) override;
    void setVisible(const QString &control, int index, bool visible) override;
    bool isChecked(const QString &control, int index) const override;
    void setTabEnabled(const QString &control, int index, int tab, bool enabled) override;

    // The control of that name, or nullptr.
    QWidget *find(const QString &control, int index) const;

private:
    QWidget *root_;
    mutable QHash<QString, QPointer<QWidget>> cache_;
};
