#include "gui/ui/lockable_combo_box.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

namespace ui {

void LockableComboBox::setLocked(bool locked)
{
    locked_ = locked;
    if (QLineEdit *edit = lineEdit())
        edit->setReadOnly(locked);
}

void LockableComboBox::showPopup()
{
    if (!locked_)
        QComboBox::showPopup();
}

void LockableComboBox::keyPressEvent(QKeyEvent *event)
{
    // Moving the focus on stays possible; every other key would change the entry.
    if (locked_ && event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab) {
        event->ignore();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void LockableComboBox::wheelEvent(QWheelEvent *event)
{
    if (locked_) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

} // namespace ui
