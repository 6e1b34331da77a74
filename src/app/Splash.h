#pragma once

#include <QWidget>

class QLabel;

// The start-up window: the picture "rl3.prs", shaped by "rl5.prs" (pure red is cut out), with
// the program and engine versions and a running status line. It fades in and out through the
// window's opacity.
class TSplash : public QWidget
{
    Q_OBJECT

public:
    // The splash picture and the picture of its outline. translucent: a compositor blends
    // windows (and may ignore the X11 shape), so the cut-outs are transparent in the picture
    // as well. unmanaged: the window manager is left out, where it would frame the splash
    // and list it as a window of its own (sway).
    TSplash(const QString& pictureFile, const QString& shapeFile, bool translucent = false,
            bool unmanaged = false, QWidget* parent = nullptr);

    void SetVersionTexts(const QString& binVersionInfo, const QString& myVersion,
                         const QString& coreMd);
    // Shows a status text at once, without waiting for the event loop.
    void SetStatus(const QString& text);
    QString Status() const;

    void SetMaxAlpha(int alpha) { m_maxAlpha = alpha; }
    int MaxAlpha() const { return m_maxAlpha; }
    void SetWindowAlpha(int alpha);
    void FadeIn();
    void FadeOut();
    void CenterOnScreen();
    // Shows the splash and draws it before returning: start-up keeps the event loop busy, so
    // a splash left to the next paint event would show as an empty outline.
    void ShowPainted();

private:
    QLabel* m_image1;
    QLabel* m_binVersionInfo;
    QLabel* m_myVersion;
    QLabel* m_coreMd;
    QLabel* m_statusL;
    int m_maxAlpha = 255;
};
