#pragma once

#include <QObject>
#include <QString>

// A hint broken into lines of at most `columns` columns (a wide East Asian character takes
// two), at spaces where there are any and between wide characters, so that it reads as a
// paragraph beside its control instead of a line across the screen. Line breaks of its own stay.
QString WrapHint(const QString& text, int columns = 60);

// The program's hint timing for every widget: a hint comes up after the mouse has rested
// HintPauseMs on a control and goes again after HintHidePauseMs, however long its text (Qt's
// own are 700 ms and ten seconds or more, growing with the text), each wrapped by WrapHint.
class THintTiming : public QObject
{
    Q_OBJECT

public:
    static constexpr int HintPauseMs = 500;
    static constexpr int HintHidePauseMs = 9999;

    // Takes over the application's style (wrapped, so it looks the same) and its hint events
    // while this object lives.
    explicit THintTiming(QObject* parent = nullptr);
    ~THintTiming() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
