#include "gui/ui/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace ui {

MessageAnswer MessageBoxes::show(MessageKind kind, const QString &title, const QString &text)
{
    const QString caption = title.isEmpty() ? QApplication::applicationName() : title;
    switch (kind) {
    case MessageKind::Critical:
        QMessageBox::critical(parent_, caption, text);
        return MessageAnswer::Ok;
    case MessageKind::Exclamation:
        QMessageBox::warning(parent_, caption, text);
        return MessageAnswer::Ok;
    case MessageKind::YesNo:
        return QMessageBox::question(parent_, caption, text, QMessageBox::Yes | QMessageBox::No)
                       == QMessageBox::Yes
                   ? MessageAnswer::Yes
                   : MessageAnswer::No;
    case MessageKind::Plain: {
        QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent_);
        box.exec();
        return MessageAnswer::Ok;
    }
    }
    return MessageAnswer::Ok;
}

} // namespace ui
