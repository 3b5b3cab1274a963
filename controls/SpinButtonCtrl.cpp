#include "controls/SpinButtonCtrl.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>
#include <cstdlib>

CSpinButtonCtrl::CSpinButtonCtrl(QWidget* parent)
    : QWidget(parent), m_pUp(new QToolButton(this)), m_pDown(new QToolButton(this)) {
    for (QToolButton* button : {m_pUp, m_pDown}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIconSize(QSize(7, 7));
    }
    m_pUp->setArrowType(Qt::UpArrow);
    m_pDown->setArrowType(Qt::DownArrow);
    // The arrows show no text; screen readers need words for them.
    m_pUp->setAccessibleName(QString::fromUtf8("증가"));
    m_pDown->setAccessibleName(QString::fromUtf8("감소"));
    connect(m_pUp, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(m_pDown, &QToolButton::clicked, this, [this] { Step(-1); });
}

void CSpinButtonCtrl::SetBuddy(QLineEdit* buddy) {
    if (m_pBuddy != nullptr) m_pBuddy->removeEventFilter(this);
    m_pBuddy = buddy;
    if (m_pBuddy != nullptr) m_pBuddy->installEventFilter(this);
}

void CSpinButtonCtrl::SetRange(int nLower, int nUpper) {
    m_nLower = nLower;
    m_nUpper = nUpper;
}

int CSpinButtonCtrl::GetPos() const {
    int low = std::min(m_nLower, m_nUpper);
    int high = std::max(m_nLower, m_nUpper);
    int value = m_nPos;
    if (m_pBuddy != nullptr) {
        value = static_cast<int>(std::strtol(m_pBuddy->text().toStdString().c_str(), nullptr, 10));
    }
    return std::clamp(value, low, high);
}

void CSpinButtonCtrl::SetPos(int nPos) {
    int low = std::min(m_nLower, m_nUpper);
    int high = std::max(m_nLower, m_nUpper);
    m_nPos = std::clamp(nPos, low, high);
    if (m_pBuddy != nullptr) m_pBuddy->setText(QString::number(m_nPos));
}

void CSpinButtonCtrl::Step(int direction) {
    if (!isEnabled()) return;
    int delta = m_nUpper >= m_nLower ? direction : -direction;
    int before = GetPos();
    SetPos(before + delta);
    emit deltaPos(before, delta);
}

bool CSpinButtonCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pBuddy && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            Step(key->key() == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CSpinButtonCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    int half = height() / 2;
    m_pUp->setGeometry(0, 0, width(), half);
    m_pDown->setGeometry(0, half, width(), height() - half);
}
