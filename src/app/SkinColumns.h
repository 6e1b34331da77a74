#pragma once

#include <QStringList>
#include <QWidget>

// The skin items of a long skin menu, 30 to a column with a dividing bar between columns (a
// plain menu only breaks into columns at the screen's edge). Drawn like the menu around it.
class TSkinColumns : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RowsPerColumn = 30;
    static constexpr int DividerWidth = 3;

    explicit TSkinColumns(QWidget* parent = nullptr);

    void SetSkins(const QStringList& names, const QString& current);
    void SetCurrent(const QString& name);
    void SetOwnerDrawn(bool on);

    int ColumnCount() const;
    QSize ItemSize() const;
    // The item under a point of the widget, or -1.
    int ItemAt(QPoint point) const;
    QRect ItemRect(int index) const;

    QSize sizeHint() const override;

signals:
    void SkinChosen(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QStringList m_names;
    QString m_current;
    bool m_ownerDrawn = false;
    int m_hover = -1;
};
