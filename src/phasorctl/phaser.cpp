#include "phasorctl/phaser.h"

#include "phasorctl/class_factory.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <exception>

namespace gyroscribe {

namespace {

const QSizeF degreeMarkSize(250.0, 250.0);
const QColor surfaceColor(255, 255, 255);
const QColor axisColor(0, 0, 0);
const QColor circleColor(200, 200, 200);
const QColor voltLabelColor(255, 0, 255);
const QColor currentLabelColor(128, 128, 128);
const std::array<QColor, 3> voltColors{QColor(0, 0, 255), QColor(255, 0, 0), QColor(0, 192, 0)};
const std::array<QColor, 3> currentColors{QColor(0, 192, 192), QColor(255, 128, 0),
                                          QColor(192, 192, 0)};
const int voltLineWidth = 3;
const int currentLineWidth = 1;

LabelElement label(const char *caption, QColor textColor)
{
    return {QString::fromLatin1(caption), textColor, QPointF(), QSizeF()};
}

void paintLine(QPainter &painter, const LineElement &line, const QRectF &visible)
{
    const double penWidth = line.width * TwipsPerPixel;
    const QRectF clip = visible.adjusted(-penWidth, -penWidth, penWidth, penWidth);
    // Vectors may reach far beyond the surface; only the visible part is drawn.
    const std::optional<QLineF> part = clipSegment(QLineF(line.p1, line.p2), clip);
    if (!part || part->p1() == part->p2())
        return;
    painter.setPen(QPen(line.color, penWidth, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(*part);
}

void paintLabel(QPainter &painter, const LabelElement &label, const QRectF &visible)
{
    const QRectF twips = label.rect();
    if (!twips.intersects(visible))
        return;
    const QRectF pixels(twips.topLeft() / TwipsPerPixel, twips.size() / TwipsPerPixel);
    painter.fillRect(pixels, surfaceColor);
    painter.setPen(label.textColor);
    painter.drawText(pixels, Qt::AlignCenter, label.caption);
}

} // namespace

Phaser::Phaser(QWidget *parent) : QWidget(parent)
{
    serverObjectCreated();
    // The whole surface is painted from the element state on every paint
    // event, so what is drawn stays after the control is covered and uncovered.
    setAttribute(Qt::WA_OpaquePaintEvent);
    IsEnlarged = false;

    for (int k = 0; k < 3; ++k) {
        mElements.lVolt[k] = {QPointF(), QPointF(), voltColors[k], voltLineWidth};
        mElements.lCurrent[k] = {QPointF(), QPointF(), currentColors[k], currentLineWidth};
    }
    mElements.lblVolt = {label("Va", voltLabelColor), label("Vb", voltLabelColor),
                         label("Vc", voltLabelColor)};
    mElements.lblCurrent = {label("Ia", currentLabelColor), label("Ib", currentLabelColor),
                            label("Ic", currentLabelColor)};
    const QColor black(0, 0, 0);
    mElements.lblDegree = {label("0", black), label("90", black), label("180", black),
                           label("270", black)};
    sizeLabels();
    DrawBackground();
}

Phaser::~Phaser()
{
    serverObjectDestroyed();
}

void Phaser::sizeLabels()
{
    const QFontMetricsF metrics(font());
    auto fit = [&metrics](LabelElement &label, QSizeF atLeast) {
        label.size = QSizeF((metrics.horizontalAdvance(label.caption) + 4.0) * TwipsPerPixel,
                            metrics.height() * TwipsPerPixel)
                         .expandedTo(atLeast);
    };
    for (int k = 0; k < 3; ++k) {
        fit(mElements.lblVolt[k], QSizeF());
        fit(mElements.lblCurrent[k], QSizeF());
    }
    // The angle marks keep their design size unless their text needs more.
    for (LabelElement &mark : mElements.lblDegree)
        fit(mark, degreeMarkSize);
}

void Phaser::DrawBackground()
{
    mBackground = backgroundMetrics(width() * TwipsPerPixel, height() * TwipsPerPixel);
    PlotRadius = mBackground.plotRadius;
    for (int k = 0; k < 3; ++k) {
        mElements.lVolt[k].p1 = mElements.lVolt[k].p2 = QPointF(0, 0);
        mElements.lCurrent[k].p1 = mElements.lCurrent[k].p2 = QPointF(0, 0);
        mElements.lblVolt[k].topLeft = QPointF(0, 0);
        mElements.lblCurrent[k].topLeft = QPointF(0, 0);
    }
    mVectorsPlaced = false;
    placeDegreeMarks();
}

void Phaser::placeDegreeMarks()
{
    const std::array<QPointF, 4> marks =
        degreeMarkPositions(mBackground.axisHalfLength,
                            {mElements.lblDegree[0].size, mElements.lblDegree[1].size,
                             mElements.lblDegree[2].size, mElements.lblDegree[3].size},
                            QSizeF(mBackground.innerWidth, mBackground.innerHeight));
    for (int i = 0; i < 4; ++i)
        mElements.lblDegree[i].topLeft = marks[i];
    update();
}

bool Phaser::SetPwrData(const float &sngVa, const float &sngVb, const float &sngVc,
                        const float &sngDeg_Va, const float &sngDeg_Vb, const float &sngDeg_Vc,
                        const float &sngIa, const float &sngIb, const float &sngIc,
                        const float &sngDeg_Ia, const float &sngDeg_Ib, const float &sngDeg_Ic)
{
    try {
        const float mV = referenceMagnitude(sngVa, sngVb, sngVc);
        const std::array<float, 3> lengthV{vectorLength(PlotRadius, sngVa, mV),
                                           vectorLength(PlotRadius, sngVb, mV),
                                           vectorLength(PlotRadius, sngVc, mV)};
        const std::array<float, 3> angleV{NormalizeAngle(sngDeg_Va), NormalizeAngle(sngDeg_Vb),
                                          NormalizeAngle(sngDeg_Vc)};
        const float mI = referenceMagnitude(sngIa, sngIb, sngIc);
        const std::array<float, 3> lengthI{vectorLength(PlotRadius, sngIa, mI),
                                           vectorLength(PlotRadius, sngIb, mI),
                                           vectorLength(PlotRadius, sngIc, mI)};
        const std::array<float, 3> angleI{NormalizeAngle(sngDeg_Ia), NormalizeAngle(sngDeg_Ib),
                                          NormalizeAngle(sngDeg_Ic)};
        // The lines first, so that each label knows every vector it would
        // rather not cover.
        mVectorsPlaced = false;
        for (int k = 0; k < 3; ++k) {
            mElements.lVolt[k].p2 = vectorEnd(lengthV[k], angleV[k]);
            mElements.lCurrent[k].p2 = vectorEnd(lengthI[k], angleI[k]);
        }
        mLengthV = lengthV;
        mLengthI = lengthI;
        mVectorsPlaced = true;
        placeVectorLabels();
        update();
        return true;
    } catch (const std::exception &error) {
        update(); // show what was placed before the error
        showError(QString::fromUtf8(error.what()));
    } catch (...) {
        update();
        showError(QStringLiteral("Unknown error"));
    }
    return false;
}

void Phaser::placeVectorLabels()
{
    std::vector<QRectF> taken;
    for (const LabelElement &mark : mElements.lblDegree)
        taken.push_back(mark.rect());
    for (int k = 0; k < 3; ++k) {
        placeLabel(mElements.lblVolt[k], mElements.lVolt[k], mLengthV[k], taken);
        placeLabel(mElements.lblCurrent[k], mElements.lCurrent[k], mLengthI[k], taken);
    }
}

void Phaser::placeLabel(LabelElement &label, const LineElement &line, float length,
                        std::vector<QRectF> &taken)
{
    std::vector<QLineF> others;
    for (const auto *lines : {&mElements.lVolt, &mElements.lCurrent})
        for (const LineElement &other : *lines)
            if (&other != &line)
                others.emplace_back(other.p1, other.p2);
    const QRectF surface(-mBackground.innerWidth / 2.0, -mBackground.innerHeight / 2.0,
                         mBackground.innerWidth, mBackground.innerHeight);
    label.topLeft = placeVectorLabel(length, line.p2, label.size, surface, taken, others);
    taken.push_back(label.rect());
}

void Phaser::showError(const QString &description)
{
    // A host calls SetPwrData from a timer; while one message is open, later
    // failures must not stack up further modal boxes.
    if (mShowingError)
        return;
    mShowingError = true;
    const QPointer<Phaser> self(this);
    if (mSite)
        mSite->showMessage(hosting::MessageIcon::Critical, QStringLiteral("Error"), description);
    else
        QMessageBox::critical(this, QStringLiteral("Error"), description);
    if (self)
        mShowingError = false;
}

void Phaser::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    DrawBackground();
}

void Phaser::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        sizeLabels();
        placeDegreeMarks();
        // Labels of another size need places of their own. The vectors
        // stand, so only a label grown beyond the coordinate range can fail;
        // it then keeps its place.
        if (mVectorsPlaced) {
            try {
                placeVectorLabels();
            } catch (const OverflowError &) {
            }
        }
    }
}

void Phaser::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    event->accept();
    if (mResizing)
        return;
    const QPointer<Phaser> self(this);
    toggleSize();
    if (self)
        raiseDblClick();
}

void Phaser::toggleSize()
{
    // The top-left corner stays: only the extent changes. Between the two
    // steps the intermediate size is shown; user input waits meanwhile, so a
    // further double click cannot start a second toggle inside this one.
    const QPointer<Phaser> self(this);
    mResizing = true;
    const bool shrink = IsEnlarged;
    resize(shrink ? width() / 2 : width() * 2, height());
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!self)
        return;
    resize(width(), shrink ? height() / 2 : height() * 2);
    IsEnlarged = !shrink;
    mResizing = false;
}

void Phaser::raiseDblClick()
{
    const auto sinks = mSinks; // a sink may unadvise while being called
    const QPointer<Phaser> self(this);
    for (const auto &[cookie, sink] : sinks) {
        if (!self)
            return;
        const bool stillAdvised =
            std::any_of(mSinks.cbegin(), mSinks.cend(),
                        [cookie = cookie](const auto &entry) { return entry.first == cookie; });
        if (stillAdvised)
            sink->onEvent(dispid::DblClick, {});
    }
}

void Phaser::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), surfaceColor);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const QTransform centred = painter.transform();
    painter.scale(1.0 / TwipsPerPixel, 1.0 / TwipsPerPixel);

    const QRectF visible(-mBackground.innerWidth / 2.0, -mBackground.innerHeight / 2.0,
                         mBackground.innerWidth, mBackground.innerHeight);
    const double a = mBackground.axisHalfLength;
    painter.setPen(QPen(axisColor, TwipsPerPixel));
    painter.drawLine(QLineF(-a, 0.0, a, 0.0));
    painter.drawLine(QLineF(0.0, -a, 0.0, a));
    if (mBackground.circleRadius > 0.0) {
        painter.setPen(QPen(circleColor, TwipsPerPixel));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QPointF(0.0, 0.0), mBackground.circleRadius,
                            mBackground.circleRadius);
    }
    for (int k = 0; k < 3; ++k) {
        paintLine(painter, mElements.lVolt[k], visible);
        paintLine(painter, mElements.lCurrent[k], visible);
    }

    // Labels in pixels, so that their text keeps the widget's font size.
    painter.setTransform(centred);
    for (const LabelElement &mark : mElements.lblDegree)
        paintLabel(painter, mark, visible);
    for (int k = 0; k < 3; ++k) {
        paintLabel(painter, mElements.lblVolt[k], visible);
        paintLabel(painter, mElements.lblCurrent[k], visible);
    }
}

} // namespace gyroscribe
