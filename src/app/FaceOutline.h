#pragma once

#include <QObject>
#include <QRegion>

class QWidget;

// The main window's outline, given in the face's pixels of `faceScale` screen pixels each. It
// goes to the X server in screen pixels, and again whenever Qt makes the window a new X window.
// Not through Qt: Qt takes an outline in the window's units, which at a fractional desktop
// scale fall between screen pixels (the cut-outs' colour would show along the edges), and it
// clips every update it sends to the outline's bands, each of which its X11 backing store
// copies into a buffer that stays as large as the largest band for the life of the window.
class TFaceOutline : public QObject
{
public:
    explicit TFaceOutline(QWidget& window);

    // An empty region: no outline.
    void Set(const QRegion& face, int faceScale);
    // The same outline at another scale.
    void Rescale(int faceScale) { Set(QRegion(m_face), faceScale); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetOnScreen();

    QWidget& m_window;
    QRegion m_face;     // in face pixels
    QRegion m_onScreen; // in screen pixels; empty for none
};
