// An up-down control beside a buddy edit: the arrows (and the Up and Down keys in the edit)
// step the integer shown in the edit within the range. The edit accepts any text; its value
// is read from the leading digits.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

class CSpinButtonCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CSpinButtonCtrl(QWidget* parent = nullptr);

    void SetBuddy(QLineEdit* buddy);
    QLineEdit* GetBuddy() const { return m_pBuddy; }
    // The up arrow moves towards nUpper.
    void SetRange(int nLower, int nUpper);
    int GetPos() const;  // the buddy's value, clamped to the range
    void SetPos(int nPos);

signals:
    void deltaPos(int nPos, int nDelta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Step(int direction);

    QToolButton* m_pUp;
    QToolButton* m_pDown;
    QLineEdit* m_pBuddy = nullptr;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nPos = 0;
};
