#pragma once

// Phaser: the phasor-diagram control. Two axes, a grey reference circle, the
// angle marks and six vectors (three phase voltages, three phase currents),
// each named by a label just beyond its tip, or as near to it as the edges,
// the angle marks and the other labels allow. The host feeds it magnitudes
// and angles through SetPwrData; a double click doubles or halves its size.

#include "phasorctl/gyroscribe_typelib.h"
#include "phasorctl/hosting/interfaces.h"
#include "phasorctl/phasor_geometry.h"

#include <QColor>
#include <QWidget>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace gyroscribe {

// A straight line of the diagram; ends in twips, width in pixels.
struct LineElement {
    QPointF p1;
    QPointF p2;
    QColor color;
    int width = 1;
};

// A label of the diagram; position and size in twips, drawn on white.
struct LabelElement {
    QString caption;
    QColor textColor;
    QPointF topLeft;
    QSizeF size;

    QRectF rect() const { return {topLeft, size}; }
};

struct DiagramElements {
    std::array<LineElement, 3> lVolt;
    std::array<LineElement, 3> lCurrent;
    std::array<LabelElement, 3> lblVolt;
    std::array<LabelElement, 3> lblCurrent;
    std::array<LabelElement, 4> lblDegree;
};

class Phaser final : public QWidget, public hosting::IControl {
    Q_OBJECT
public:
    explicit Phaser(QWidget *parent = nullptr);
    ~Phaser() override;

    // Places the six vectors. Returns false, after a critical message titled
    // "Error", when a value cannot be drawn; elements already placed stay.
    bool SetPwrData(const float &sngVa, const float &sngVb, const float &sngVc,
                    const float &sngDeg_Va, const float &sngDeg_Vb, const float &sngDeg_Vc,
                    const float &sngIa, const float &sngIb, const float &sngIc,
                    const float &sngDeg_Ia, const float &sngDeg_Ib, const float &sngDeg_Ic);

    // Stored and persisted only; any value is accepted.
    std::int32_t EnlargeDirection() const { return mEnlargeDirection; }
    void setEnlargeDirection(std::int32_t direction) { mEnlargeDirection = direction; }

    int plotRadius() const { return PlotRadius; }
    bool isEnlarged() const { return IsEnlarged; }
    const DiagramElements &elements() const { return mElements; }
    const BackgroundMetrics &background() const { return mBackground; }

    // IControl
    QUuid classId() const override { return CLSID_Phaser; }
    QWidget *widget() override { return this; }
    hosting::Status invoke(hosting::DispId member, hosting::InvokeKind kind,
                           std::span<hosting::Variant> args, hosting::Variant *result) override;
    hosting::Status advise(const QUuid &sourceInterface, hosting::IEventSink *sink,
                           int *cookie) override;
    hosting::Status unadvise(int cookie) override;
    void initProperties() override;
    void readProperties(const hosting::IPropertyBag &bag) override;
    void writeProperties(hosting::IPropertyBag &bag) const override;
    void setSite(hosting::IControlSite *site) override { mSite = site; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void DrawBackground();
    // Fits the labels to their text in the control's font.
    void sizeLabels();
    void placeDegreeMarks();
    // Places the six vector labels for the vectors as they stand, each clear
    // of the angle marks and of the labels placed before it.
    void placeVectorLabels();
    // Places the label of the vector line of the given length, clear of
    // taken, and adds it to taken.
    void placeLabel(LabelElement &label, const LineElement &line, float length,
                    std::vector<QRectF> &taken);
    void toggleSize();
    void raiseDblClick();
    void showError(const QString &description);

    std::int32_t mEnlargeDirection = static_cast<std::int32_t>(EnlargeDirEnum::RIGHT_BOTTOM);
    bool IsEnlarged = false;
    int PlotRadius = 0;
    BackgroundMetrics mBackground;
    DiagramElements mElements;
    // The lengths of the vectors placed last, and whether any are placed
    // since the background was drawn (its labels then stand at 0, 0).
    std::array<float, 3> mLengthV{};
    std::array<float, 3> mLengthI{};
    bool mVectorsPlaced = false;

    hosting::IControlSite *mSite = nullptr;
    std::vector<std::pair<int, hosting::IEventSink *>> mSinks;
    int mLastCookie = 0;
    bool mResizing = false;
    bool mShowingError = false;
};

} // namespace gyroscribe
