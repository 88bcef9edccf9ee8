#include "gui/ui/elided_label.h"

#include <QResizeEvent>

#include <algorithm>

namespace ui {

namespace {

constexpr int kMinimumChars = 16;

// Room left and right of the text inside the label.
int padding(const QLabel &label)
{
    const QMargins m = label.contentsMargins();
    return m.left() + m.right() + 2 * label.margin();
}

} // namespace

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setWholeText(const QString &text)
{
    whole_ = text;
    updateGeometry();
    elide();
}

QSize ElidedLabel::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(whole_) + padding(*this), QLabel::sizeHint().height()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    // Enough of both ends to tell the text apart from others like it.
    const int width = std::min(fontMetrics().horizontalAdvance(whole_), kMinimumChars * fontMetrics().averageCharWidth());
    return {width + padding(*this), QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide()
{
    const int room = contentsRect().width() - 2 * margin();
    setText(fontMetrics().elidedText(whole_, Qt::ElideMiddle, std::max(room, 0)));
}

} // namespace ui
