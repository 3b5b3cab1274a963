#include "controls/FlatButton.h"

#include <QAccessible>
#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>

#include "controls/FlatButtonAccessible.h"

namespace {

constexpr int kLineFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic | Qt::TextSingleLine;

bool IsWide(QChar c) { return c.unicode() >= 0x0100; }

// The text as shown: mnemonic markers removed ("&&" shows one '&').
QString Shown(const QString& text) {
    QString result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) ++i;
        else if (text[i] == QLatin1Char('&')) continue;
        result += text[i];
    }
    return result;
}

int Width(const QFontMetrics& metrics, const QString& text) { return metrics.horizontalAdvance(Shown(text)); }

}  // namespace

QStringList CFlatButton::WrapCaption(const QString& caption, const QFontMetrics& metrics, int width) {
    QStringList lines;
    QString text = caption;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        // Pieces between break opportunities; a blank ends the piece it follows.
        QStringList pieces;
        QString piece;
        for (qsizetype i = 0; i < paragraph.size(); ++i) {
            QChar c = paragraph[i];
            bool mnemonic = c == QLatin1Char('&') && i + 1 < paragraph.size();
            QChar shown = mnemonic ? paragraph[i + 1] : c;
            if (IsWide(shown) && !piece.isEmpty()) {
                pieces << piece;
                piece.clear();
            }
            piece += c;
            if (mnemonic) piece += paragraph[++i];
            if (IsWide(shown) || shown == QLatin1Char(' ')) {
                pieces << piece;
                piece.clear();
            }
        }
        if (!piece.isEmpty()) pieces << piece;

        QString line;
        for (const QString& next : pieces) {
            QString candidate = line + next;
            if (!line.isEmpty() && Width(metrics, QString(candidate).remove(QRegularExpression(QStringLiteral(" +$")))) > width) {
                while (line.endsWith(QLatin1Char(' '))) line.chop(1);
                lines << line;
                line = next;
                while (line.startsWith(QLatin1Char(' '))) line.remove(0, 1);
            } else {
                line = candidate;
            }
        }
        while (line.endsWith(QLatin1Char(' '))) line.chop(1);
        lines << line;
    }
    return lines;
}

CFlatButton::CFlatButton(QWidget* parent) : QPushButton(parent) {
    CFlatButtonAccessible::Install();
    setMouseTracking(true);
    setAutoDefault(false);
    SetDefaultColors(false);
    // Screen readers hear of a press and a release as they happen.
    auto tellPressed = [this] {
        QAccessible::State changed;
        changed.pressed = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    };
    connect(this, &QAbstractButton::pressed, this, tellPressed);
    connect(this, &QAbstractButton::released, this, tellPressed);
}

CFlatButton::~CFlatButton() = default;

int CFlatButton::SetColor(int nIndex, const QColor& color, bool bRepaint) {
    auto index = static_cast<unsigned char>(nIndex);
    if (index >= COLOR_COUNT) return 3;
    m_crColors[index] = color;
    if (bRepaint) update();
    return 0;
}

int CFlatButton::SetDefaultColors(bool bRepaint) {
    const QPalette& pal = palette();
    m_crColors[COLOR_BK_ACTIVE] = pal.color(QPalette::Active, QPalette::Button);
    m_crColors[COLOR_FG_ACTIVE] = pal.color(QPalette::Active, QPalette::ButtonText);
    m_crColors[COLOR_BK_INACTIVE] = pal.color(QPalette::Active, QPalette::Button);
    m_crColors[COLOR_FG_INACTIVE] = pal.color(QPalette::Active, QPalette::ButtonText);
    if (bRepaint) update();
    return 0;
}

QColor CFlatButton::GetColor(int nIndex) const {
    if (nIndex < 0 || nIndex >= COLOR_COUNT) return QColor();
    return m_crColors[nIndex];
}

void CFlatButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawItem(painter, rect());
}

void CFlatButton::DrawItem(QPainter& painter, const QRect& rcItem) {
    m_bPressed = isDown();
    m_bDisabled = !isEnabled();
    QRect rc = rcItem;
    painter.setBackgroundMode(Qt::TransparentMode);

    OnDrawBackground(painter, rc);
    OnDrawBorder(painter, rc);

    QString caption = text();
    if (caption.isEmpty()) return;

    QRect rcText = rcItem;
    if (m_bPressed) rcText.translate(1, 1);
    // Measure the word-wrapped block within the rectangle, then centre it both ways.
    QFontMetrics metrics(font());
    QStringList lines = WrapCaption(caption, metrics, rcText.width());
    int blockWidth = 0;
    for (const QString& line : lines) blockWidth = std::max(blockWidth, Width(metrics, line));
    int lineHeight = metrics.height();
    int blockHeight = lineHeight * static_cast<int>(lines.size());
    QRect rcBlock(rcText.left() + (rcText.width() - blockWidth) / 2,
                  rcText.top() + (rcText.height() - blockHeight) / 2, blockWidth, blockHeight);

    auto drawLines = [&](const QRect& block) {
        QRect rcLine(block.left(), block.top(), block.width(), lineHeight);
        for (const QString& line : lines) {
            painter.drawText(rcLine, kLineFlags, line);
            rcLine.translate(0, lineHeight);
        }
    };
    const QPalette& pal = palette();
    painter.setFont(font());
    if (m_bDisabled) {
        // Engraved: highlight one pixel down and right, shadow in place.
        painter.setPen(pal.color(QPalette::Active, QPalette::Light));
        drawLines(rcBlock.translated(1, 1));
        painter.setPen(pal.color(QPalette::Active, QPalette::Dark));
        drawLines(rcBlock);
    } else {
        bool active = m_bHover || m_bPressed;
        painter.setPen(m_crColors[active ? COLOR_FG_ACTIVE : COLOR_FG_INACTIVE]);
        drawLines(rcBlock);
    }
}

int CFlatButton::OnDrawBackground(QPainter& painter, const QRect& rc) {
    bool active = m_bHover || m_bPressed;
    painter.fillRect(rc, m_crColors[active ? COLOR_BK_ACTIVE : COLOR_BK_INACTIVE]);
    return 0;
}

int CFlatButton::OnDrawBorder(QPainter& painter, const QRect& rc) {
    if (!m_bPressed && !m_bHover) return 0;
    const QPalette& pal = palette();
    QColor shadow = pal.color(QPalette::Active, QPalette::Dark);
    QColor highlight = pal.color(QPalette::Active, QPalette::Light);
    // Pressed: sunken (shadow on top and left); hovered: raised (highlight on top and left).
    QColor topLeft = m_bPressed ? shadow : highlight;
    QColor bottomRight = m_bPressed ? highlight : shadow;
    int w = rc.width();
    int h = rc.height();
    painter.fillRect(QRect(rc.left(), rc.top(), w - 1, 1), topLeft);
    painter.fillRect(QRect(rc.left(), rc.top(), 1, h - 1), topLeft);
    painter.fillRect(QRect(rc.right(), rc.top(), 1, h), bottomRight);
    painter.fillRect(QRect(rc.left(), rc.bottom(), w, 1), bottomRight);
    return 0;
}

void CFlatButton::EnterHover() {
    // Dragging onto a button does not highlight it, nor does a button of an inactive program.
    if ((QApplication::mouseButtons() & Qt::LeftButton) && !m_bHover) return;
    if (m_bHover) return;
    // Enter events reach disabled buttons too; one that cannot be pressed never lights up.
    if (!isEnabled()) return;
    if (QApplication::activeWindow() == nullptr) return;
    m_bHover = true;
    update();
}

void CFlatButton::LeaveHover() {
    if (!m_bHover) return;
    m_bHover = false;
    update();
}

void CFlatButton::enterEvent(QEnterEvent* event) {
    QPushButton::enterEvent(event);
    EnterHover();
}

void CFlatButton::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    LeaveHover();
}

void CFlatButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);
    if (rect().contains(event->position().toPoint())) {
        EnterHover();
    } else {
        // While the button holds the mouse (pressed and dragged away) the pointer left it.
        LeaveHover();
    }
}

void CFlatButton::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    LeaveHover();
}

void CFlatButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) LeaveHover();
    if (event->type() == QEvent::EnabledChange && !isEnabled()) LeaveHover();
}

bool CFlatButton::event(QEvent* event) {
    bool result = QPushButton::event(event);
    // A modal window opening over the button cancels the highlight.
    if (event->type() == QEvent::WindowBlocked) LeaveHover();
    return result;
}
