#pragma once

#include "gui/ui/messages.h"

class QWidget;

namespace ui {

// Messages shown as modal QMessageBox windows over a parent window.
class MessageBoxes : public Messages {
public:
    explicit MessageBoxes(QWidget *parent = nullptr) : parent_(parent) {}
    void setParent(QWidget *parent) { parent_ = parent; }
    MessageAnswer show(MessageKind kind, const QString &title, const QString &text) override;

private:
    QWidget *parent_;
};

} // namespace ui
