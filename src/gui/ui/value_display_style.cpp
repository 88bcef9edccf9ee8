#include "gui/ui/value_display_style.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionFrame>

namespace ui {

namespace {

class PanelCachingStyle final : public QProxyStyle {
public:
    explicit PanelCachingStyle(const QString &base) : QProxyStyle(base) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(option);
        if (element != PE_PanelLineEdit || !frame || option->rect.isEmpty()) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const qreal ratio = painter->device()->devicePixelRatio();
        const QString key = QStringLiteral("ampwright-panel:%1x%2@%3:%4:%5:%6:%7:%8")
                                .arg(option->rect.width())
                                .arg(option->rect.height())
                                .arg(ratio)
                                .arg(int(option->state))
                                .arg(option->palette.cacheKey())
                                .arg(frame->lineWidth)
                                .arg(int(frame->features))
                                .arg(int(option->direction));
        QPixmap panel;
        if (!QPixmapCache::find(key, &panel)) {
            panel = QPixmap(option->rect.size() * ratio);
            panel.setDevicePixelRatio(ratio);
            panel.fill(Qt::transparent);
            QStyleOptionFrame atOrigin = *frame;
            atOrigin.rect.moveTo(0, 0);
            QPainter p(&panel);
            QProxyStyle::drawPrimitive(element, &atOrigin, &p, widget);
            p.end();
            QPixmapCache::insert(key, panel);
        }
        painter->drawPixmap(option->rect.topLeft(), panel);
    }
};

} // namespace

QStyle *valueDisplayStyle()
{
    static QPointer<QStyle> style;
    if (!style) {
        style = new PanelCachingStyle(QApplication::style()->name());
        style->setParent(qApp);
    }
    return style;
}

} // namespace ui
