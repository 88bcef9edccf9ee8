#pragma once

#include "ui/messages.h"

class QWidget;

// Messages shown as modal QMessageBox windows over a parent window.
class MessageBoxes : public Messages {
public:
    explicit MessageBoxes(QWidget *parent = nullptr) : parent_(parent) {}
    void setParent(QWidget *parent) { parent_ = parent; }
    MessageAnswer show(MessageKind kind, const QString &title, const QString &text) override;

private:
    QWidget *parent_;
};
