#include "ui/BandSlider.h"

#include <QPainter>
#include <algorithm>
#include <QStyle>
#include <QStyleOptionSlider>

TBandSlider::TBandSlider(QWidget* parent) : QSlider(parent)
{}

void TBandSlider::SetBand(int from, int to)
{
    if (from == m_from && to == m_to)
        return;
    m_from = from;
    m_to = to;
    update();
}

QRect TBandSlider::BandRect() const
{
    const int from = std::clamp(m_from, minimum(), maximum());
    const int to = std::clamp(m_to, minimum(), maximum());
    if (to <= from)
        return {};
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const bool horizontal = orientation() == Qt::Horizontal;
    const int handleLength = horizontal ? handle.width() : handle.height();
    const int span = (horizontal ? groove.width() : groove.height()) - handleLength;
    // The middle of the handle as it would stand at each end of the band.
    auto centre = [&](int value) {
        return QStyle::sliderPositionFromValue(minimum(), maximum(), value, span,
                                               option.upsideDown) +
               handleLength / 2;
    };
    const int start = std::min(centre(from), centre(to));
    const int end = std::max(centre(from), centre(to));
    // A third of the channel's thickness, at least three pixels, along its middle.
    if (horizontal) {
        const int thickness = std::max(3, groove.height() / 3);
        return {groove.left() + start, groove.center().y() - thickness / 2, end - start + 1,
                thickness};
    }
    const int thickness = std::max(3, groove.width() / 3);
    return {groove.center().x() - thickness / 2, groove.top() + start, thickness,
            end - start + 1};
}

void TBandSlider::paintEvent(QPaintEvent*)
{
    // The channel first, the band over it, then the ticks and the handle above the band.
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderGroove;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
    const QRect band = BandRect();
    if (!band.isEmpty())
        painter.fillRect(band, palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                               QPalette::Highlight));
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderHandle;
    if (tickPosition() != NoTicks)
        option.subControls |= QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}
