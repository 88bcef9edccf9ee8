#pragma once

#include <QObject>
#include <QPointer>

#include <span>
#include <vector>

class QScrollBar;
class QWidget;

namespace app {

// The main window is one tall page of bands stacked top to bottom. Each band
// has a fixed top at scroll value 0 (twips, 15 to a device-independent
// pixel); the scroll bar VScroll1 moves every band to its top minus the
// scroll value, and the mouse wheel moves VScroll1 one step at a time.

inline constexpr int kTwipsPerPixel = 15;
// Pixels around the bands: a band of base top t stands at kPageMargin + t / 15.
inline constexpr int kPageMargin = 9;

enum class PageColumn { Whole, Left, Right };

struct PageBand {
    const char *control;
    int baseTop; // twips, at scroll value 0
    PageColumn column;
};

// The bands of the main page, top to bottom.
std::span<const PageBand> mainPageBands();

// VScroll1's value after one wheel event: one small step against the wheel's
// direction whatever its distance (a notch and a fast spin alike), held
// within [minimum, maximum]. A distance of 0 leaves the value.
int wheelScrollValue(int value, int distance, int smallStep, int minimum, int maximum);

// Places the page's bands and drives them from VScroll1 and the wheel.
class PageScroller : public QObject {
    Q_OBJECT
public:
    // host holds page and bar side by side and is the window's inner area.
    PageScroller(QWidget *host, QWidget *page, QScrollBar *bar, QObject *parent = nullptr);

    // The bar takes the host's inner height; the bands the page's width; the
    // bar's range reaches the bottom of the lowest band.
    void Form_Resize();
    // Moves every band to its base top minus value (twips).
    void VScroll1_Change(int value);
    void VScroll1_Scroll(int value) { VScroll1_Change(value); }

    // The wheel hook: from the end of the window's load to its unload.
    void installWheelHook(QWidget *window);
    void removeWheelHook();

    // The height the page needs to show every band without scrolling (pixels).
    int contentHeight() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Height of band i of the table, pixels.
    int bandHeight(std::size_t i) const;
    // Each band's top in pixels at scroll value 0, in the order of the table.
    std::vector<int> topsAtZero() const;

    QWidget *host_;
    QWidget *page_;
    QScrollBar *bar_;
    std::vector<QWidget *> bands_; // in the order of the table; nullptr for a band not built
    QPointer<QWidget> hooked_;
};

} // namespace app
