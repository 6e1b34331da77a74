#pragma once

#include <QSlider>

// A slider that highlights a band of its channel, the way a trackbar shows its selection: the
// gate-time bars mark from the gate below up to their own.
class TBandSlider : public QSlider
{
    Q_OBJECT

public:
    explicit TBandSlider(QWidget* parent = nullptr);

    // Values of the slider's range; an empty band (to <= from) is not drawn.
    void SetBand(int from, int to);
    int BandFrom() const { return m_from; }
    int BandTo() const { return m_to; }
    // Where the band lies in the widget, empty when nothing is drawn.
    QRect BandRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_from = 0;
    int m_to = 0;
};
