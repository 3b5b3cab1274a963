#include "controls/ColorLabel.h"

#include <QPainter>

CColorLabel::CColorLabel(QWidget* parent) : QLabel(parent) {
    m_crText = palette().color(QPalette::Active, QPalette::ButtonText);
    m_crBack = palette().color(QPalette::Active, QPalette::Button);
    m_brBack = QBrush(m_crBack);
    SetTextColor(m_crText);
}

void CColorLabel::SetTextColor(const QColor& color) {
    m_crText = color.isValid() ? color : palette().color(QPalette::Active, QPalette::ButtonText);
    QPalette pal = palette();
    pal.setColor(QPalette::Active, QPalette::WindowText, m_crText);
    pal.setColor(QPalette::Inactive, QPalette::WindowText, m_crText);
    setPalette(pal);
    update();
}

void CColorLabel::SetBkColor(const QColor& color) {
    m_crBack = color.isValid() ? color : palette().color(QPalette::Active, QPalette::Button);
    m_brBack = QBrush(m_crBack);
    update();
}

void CColorLabel::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.fillRect(rect(), m_brBack);
    }
    QLabel::paintEvent(event);
}
