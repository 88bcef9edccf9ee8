#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>

#include <vector>

namespace ui {

// Sets the captions of a window's controls with as little laying out and
// drawing as they need:
//  - between begin() and end() the captions are collected (the last one of
//    each control counts) and end() sets them together, so that the window
//    draws once for all of them instead of once for each part that arrives
//    between two waits;
//  - a caption the control shows already is not set again;
//  - a control of a shown window that is hidden itself (on a tab page that is
//    not current, on a panel the meter does not use) takes its caption when
//    it shows, unless something else has set its caption in the meantime.
//    In a window that is not shown every caption is set at once.
// Outside begin() and end() set() applies at once.
class CaptionBatch : public QObject {
public:
    explicit CaptionBatch(QObject *parent = nullptr) : QObject(parent) {}

    void set(QWidget *control, const QString &text);
    void begin() { collecting_ = true; }
    // Sets what was collected so far, and goes on collecting.
    void flush();
    // Sets what was collected; set() applies at once from now on.
    void end()
    {
        collecting_ = false;
        flush();
    }
    bool collecting() const { return collecting_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void apply(QWidget *control, const QString &text);
    void defer(QWidget *control, const QString &text);

    struct Collected {
        QPointer<QWidget> control;
        QString text;
    };
    // What a hidden control takes when it shows, and what it showed when
    // that was decided (another caption since then wins).
    struct Deferred {
        QString text;
        QString shownThen;
    };

    bool collecting_ = false;
    std::vector<Collected> collected_;
    QHash<const QWidget *, std::size_t> collectedAt_;
    QHash<const QWidget *, Deferred> deferred_;
    QSet<const QWidget *> watched_; // filtered for their show events
};

} // namespace ui
