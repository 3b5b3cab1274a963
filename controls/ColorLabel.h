// A static text whose text and background colours the owner chooses. Before either is set it
// looks like any static text: button text colour on the button face colour.
#pragma once

#include <QBrush>
#include <QColor>
#include <QLabel>

class CColorLabel : public QLabel {
    Q_OBJECT
public:
    explicit CColorLabel(QWidget* parent = nullptr);

    // An invalid colour stands for the system default (button text, button face).
    void SetTextColor(const QColor& color);
    void SetBkColor(const QColor& color);

    QColor GetTextColor() const { return m_crText; }
    QColor GetBkColor() const { return m_crBack; }
    const QBrush& GetBkBrush() const { return m_brBack; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_crText;
    QColor m_crBack;
    QBrush m_brBack;
};
