#pragma once

#include <QObject>
#include <QRegion>

class QWidget;

// The main window's outline, given in the face's pixels of `faceScale` screen pixels each. Qt
// takes an outline in the window's units; at a fractional desktop scale those fall between
// screen pixels and the cut-outs' colour would show along the edges, so there the outline goes
// to the X server in screen pixels, and again whenever Qt makes the window a new X window.
class TFaceOutline : public QObject
{
public:
    explicit TFaceOutline(QWidget& window);

    // An empty region: no outline.
    void Set(const QRegion& face, int faceScale);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetOnScreen();

    QWidget& m_window;
    QRegion m_onScreen; // in screen pixels; empty while Qt holds the outline
    double m_ratio = 0;
};
