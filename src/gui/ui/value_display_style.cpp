#include "gui/ui/value_display_style.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QHash>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionFrame>

namespace ui {

namespace {

// What the drawing of a panel depends on.
struct PanelKey {
    QSize size;
    qreal ratio;
    int state, lineWidth, features, direction;
    qint64 palette;

    bool operator==(const PanelKey &) const = default;
};

size_t qHash(const PanelKey &k, size_t seed = 0)
{
    return qHashMulti(seed, k.size.width(), k.size.height(), k.ratio, k.state, k.lineWidth, k.features,
                      k.direction, k.palette);
}

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
        const PanelKey key{option->rect.size(), ratio,           int(option->state),    frame->lineWidth,
                           int(frame->features), int(option->direction), option->palette.cacheKey()};
        auto panel = panels_.constFind(key);
        if (panel == panels_.constEnd()) {
            // A handful of sizes and states; a palette that changes would
            // otherwise add panels without end.
            if (panels_.size() >= kMostPanels)
                panels_.clear();
            QPixmap drawn(option->rect.size() * ratio);
            drawn.setDevicePixelRatio(ratio);
            drawn.fill(Qt::transparent);
            QStyleOptionFrame atOrigin = *frame;
            atOrigin.rect.moveTo(0, 0);
            QPainter p(&drawn);
            QProxyStyle::drawPrimitive(element, &atOrigin, &p, widget);
            p.end();
            panel = panels_.insert(key, drawn);
        }
        painter->drawPixmap(option->rect.topLeft(), *panel);
    }

private:
    static constexpr qsizetype kMostPanels = 64;
    mutable QHash<PanelKey, QPixmap> panels_;
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
