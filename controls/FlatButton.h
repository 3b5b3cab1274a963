// A flat push button: no border while the mouse is elsewhere, a raised one-pixel border
// while it is over the button, a sunken one while pressed; filled with the active colour pair
// while hovered or pressed and the inactive pair otherwise. Clicks are ordinary clicks.
#pragma once

#include <QColor>
#include <QPushButton>
#include <QStringList>

class QFontMetrics;
class QPainter;

class CFlatButton : public QPushButton {
    Q_OBJECT
public:
    // Colour slots.
    enum : int {
        COLOR_BK_ACTIVE = 0,    // background while hovered or pressed
        COLOR_FG_ACTIVE = 1,    // text while hovered or pressed
        COLOR_BK_INACTIVE = 2,  // background otherwise
        COLOR_FG_INACTIVE = 3,  // text otherwise
        COLOR_COUNT = 4,
    };

    explicit CFlatButton(QWidget* parent = nullptr);
    ~CFlatButton() override;

    // The index is taken as an unsigned byte; 4 or more changes nothing and returns 3.
    // Otherwise stores the colour, repaints when bRepaint, returns 0.
    int SetColor(int nIndex, const QColor& color, bool bRepaint = true);
    // Back to the system's button face and button text colours; returns 0.
    int SetDefaultColors(bool bRepaint = true);
    // Colour of a slot; an invalid colour for an index out of range.
    QColor GetColor(int nIndex) const;

    bool IsHover() const { return m_bHover; }

    // The caption's lines within width: breaks at line feeds, after blanks, and before and
    // after any wide (Korean) character, as button captions always wrapped; a run of narrow
    // characters too long for a line stays whole. '&' mnemonic markers are kept.
    static QStringList WrapCaption(const QString& caption, const QFontMetrics& metrics, int width);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

    // One draw request: background, border, caption.
    virtual void DrawItem(QPainter& painter, const QRect& rcItem);
    virtual int OnDrawBackground(QPainter& painter, const QRect& rc);
    virtual int OnDrawBorder(QPainter& painter, const QRect& rc);

private:
    void EnterHover();
    void LeaveHover();

    bool m_bHover = false;
    bool m_bPressed = false;
    bool m_bDisabled = false;
    QColor m_crColors[COLOR_COUNT];
};
