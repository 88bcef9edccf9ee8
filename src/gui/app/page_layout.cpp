#include "gui/app/page_layout.h"

#include <QEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace app {

namespace {

// Tops leave room for each band in every language and firmware layout.
constexpr PageBand kBands[] = {
    {"Frame9(1)", 0, PageColumn::Whole},        // connection row
    {"Frame9(0)", 1575, PageColumn::Left},      // measurement panels and Command9
    {"Frame9(3)", 1575, PageColumn::Right},     // basic data and Command11
    {"settingPages", 12105, PageColumn::Whole}, // Command10 and SSTab1
    {"Frame9(2)", 17835, PageColumn::Whole},    // language
};

constexpr int kSpacing = 8;     // pixels between the two columns
constexpr int kLeftShare = 5;   // of kLeftShare + kRightShare of the width
constexpr int kRightShare = 2;
constexpr int kWheelStep = 40 * kTwipsPerPixel;

} // namespace

std::span<const PageBand> mainPageBands() { return kBands; }

int wheelScrollValue(int value, int distance, int smallStep, int minimum, int maximum)
{
    const int sign = (distance > 0) - (distance < 0);
    const long long next = static_cast<long long>(value) - static_cast<long long>(sign) * smallStep;
    return static_cast<int>(std::clamp<long long>(next, minimum, std::max(minimum, maximum)));
}

PageScroller::PageScroller(QWidget *host, QWidget *page, QScrollBar *bar, QObject *parent)
    : QObject(parent), host_(host), page_(page), bar_(bar)
{
    // The page is built: its bands are looked up once, not at every step.
    for (const PageBand &band : kBands)
        bands_.push_back(page_->findChild<QWidget *>(QLatin1String(band.control)));
    bar_->setMinimum(0);
    bar_->setSingleStep(kWheelStep);
    connect(bar_, &QScrollBar::valueChanged, this, &PageScroller::VScroll1_Change);
    connect(bar_, &QScrollBar::sliderMoved, this, &PageScroller::VScroll1_Scroll);
    host_->installEventFilter(this);
}

int PageScroller::bandHeight(std::size_t i) const
{
    // Bands beside each other (the two columns) are as tall as the taller.
    int height = 0;
    for (std::size_t k = 0; k < bands_.size(); ++k) {
        if (kBands[k].baseTop == kBands[i].baseTop && bands_[k])
            height = std::max(height, bands_[k]->sizeHint().height());
    }
    return height;
}

std::vector<int> PageScroller::topsAtZero() const
{
    // A band that would reach into the next one (fonts larger than those the
    // table was made for) pushes the rest down instead of hiding under it.
    std::vector<int> tops;
    int bottom = 0;
    int rowTop = 0;
    int rowBottom = 0;
    for (std::size_t i = 0; i < std::size(kBands); ++i) {
        const PageBand &band = kBands[i];
        const bool besidePrevious = i > 0 && band.baseTop == kBands[i - 1].baseTop;
        int top = besidePrevious ? rowTop : std::max(kPageMargin + band.baseTop / kTwipsPerPixel, bottom);
        if (!besidePrevious) {
            rowTop = top;
            rowBottom = top;
        }
        rowBottom = std::max(rowBottom, top + bandHeight(i));
        bottom = rowBottom + kSpacing;
        tops.push_back(top);
    }
    return tops;
}

int PageScroller::contentHeight() const
{
    const std::vector<int> tops = topsAtZero();
    int bottom = 0;
    for (std::size_t i = 0; i < std::size(kBands); ++i)
        bottom = std::max(bottom, tops[i] + bandHeight(i));
    return bottom + kPageMargin;
}

void PageScroller::Form_Resize()
{
    const int barWidth = bar_->sizeHint().width();
    const QSize inner = host_->size();
    bar_->setGeometry(inner.width() - barWidth, 0, barWidth, inner.height());
    page_->setGeometry(0, 0, inner.width() - barWidth, inner.height());
    const int hidden = std::max(0, contentHeight() - inner.height());
    bar_->setPageStep(std::max(1, inner.height()) * kTwipsPerPixel);
    bar_->setMaximum(hidden * kTwipsPerPixel);
    VScroll1_Change(bar_->value());
}

void PageScroller::VScroll1_Change(int value)
{
    const int width = page_->width() - 2 * kPageMargin;
    const int leftWidth = (width - kSpacing) * kLeftShare / (kLeftShare + kRightShare);
    const std::vector<int> tops = topsAtZero();
    for (std::size_t i = 0; i < std::size(kBands); ++i) {
        const PageBand &band = kBands[i];
        QWidget *control = bands_[i];
        if (!control)
            continue;
        int left = kPageMargin;
        int bandWidth = width;
        if (band.column == PageColumn::Left) {
            bandWidth = leftWidth;
        } else if (band.column == PageColumn::Right) {
            left = kPageMargin + leftWidth + kSpacing;
            bandWidth = width - leftWidth - kSpacing;
        }
        const int top = tops[i] - value / kTwipsPerPixel;
        control->setGeometry(left, top, bandWidth, bandHeight(i));
    }
}

void PageScroller::installWheelHook(QWidget *window)
{
    removeWheelHook();
    hooked_ = window;
    window->installEventFilter(this);
}

void PageScroller::removeWheelHook()
{
    if (hooked_)
        hooked_->removeEventFilter(this);
    hooked_ = nullptr;
}

bool PageScroller::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == host_ && event->type() == QEvent::Resize) {
        Form_Resize();
    } else if (watched == hooked_ && event->type() == QEvent::Wheel) {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        bar_->setValue(wheelScrollValue(bar_->value(), wheel->angleDelta().y(), bar_->singleStep(),
                                        bar_->minimum(), bar_->maximum()));
    }
    // Every event goes on to the window as before.
    return false;
}

} // namespace app
