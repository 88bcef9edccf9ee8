#include "gui/ui/back_color.h"

#include <QAbstractButton>
#include <QPalette>
#include <QWidget>

namespace ui {

void setBackColor(QWidget *control, const QColor &color)
{
    if (!control)
        return;
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, color);
    palette.setColor(QPalette::Button, color);
    control->setPalette(palette);
    if (!qobject_cast<QAbstractButton *>(control))
        control->setAutoFillBackground(true);
}

QColor backColor(const QWidget *control)
{
    if (!control)
        return {};
    const QPalette::ColorRole role = qobject_cast<const QAbstractButton *>(control)
                                         ? QPalette::Button
                                         : QPalette::Window;
    return control->palette().color(role);
}

void resetBackColor(QWidget *control)
{
    if (control)
        control->setPalette(QPalette());
}

} // namespace ui
