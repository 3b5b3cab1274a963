#include "callcheck/DlgMemo.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "app/DataExchange.h"
#include "controls/FlatButton.h"
#include "controls/FlatButtonScheme.h"
#include "platform/CodePage.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Resource.h"
#include "res/Strings.h"

namespace {

// The record keeps carriage return and line feed between lines; the edit a line feed.
QString MemoToEdit(const std::string& memo) {
    QString text = QString::fromStdString(memo);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string EditToMemo(QString text) {
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text.toStdString();
}

// Code-page bytes of one character of the edit: a line end is stored as two.
size_t EditCharBytes(QChar c) {
    if (c == QLatin1Char('\n') || c == QChar::ParagraphSeparator) return 2;
    if (c.isLowSurrogate()) return 0;  // counted with its high half
    return c.unicode() < 0x80 ? 1 : 2;
}

}  // namespace

CDlgMemo::CDlgMemo(QWidget* parent) : CDialog(kTemplate, parent) {
    m_btn[0] = Item<CFlatButton>(IDOK);
    m_btn[1] = Item<CFlatButton>(IDCANCEL);
    m_editPhone = Item<QLineEdit>(IDC_EDIT_PHONE);
    m_editPhone->setReadOnly(true);

    m_editMemo = new QPlainTextEdit(this);
    m_editMemo->setObjectName(QStringLiteral("ctl%1").arg(IDC_EDIT_MEMO));
    m_editMemo->setGeometry(m_form.Units().MapDialogRect(kMemoEdit.x, kMemoEdit.y, kMemoEdit.cx, kMemoEdit.cy));
    m_editMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_editMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_editMemo->setTabChangesFocus(true);
    m_editMemo->installEventFilter(this);
    m_form.NameControls();
    // First in the tab order, as in the template.
    QWidget::setTabOrder(m_editMemo, m_btn[0]);
    QWidget::setTabOrder(m_btn[0], m_btn[1]);
    QWidget::setTabOrder(m_btn[1], m_editPhone);

    connect(m_editMemo->document(), &QTextDocument::contentsChange, this, [this](int position, int, int added) {
        m_nChangePos = position;
        m_nChangeAdded = added;
    });
    connect(m_editMemo, &QPlainTextEdit::textChanged, this, &CDlgMemo::OnMemoChanged);
}

bool CDlgMemo::OnInitDialog() {
    CDialog::OnInitDialog();
    for (CFlatButton* button : m_btn) SetFlatButtonScheme(*button);
    m_editMemo->setFocus(Qt::OtherFocusReason);
    return true;
}

void CDlgMemo::DoDataExchange(CDataExchange& dx) {
    if (dx.m_bSaveAndValidate) {
        m_strMemo = EditToMemo(m_editMemo->toPlainText());
    } else {
        m_bLimited = false;
        m_editMemo->setPlainText(MemoToEdit(m_strMemo));
        m_bLimited = true;
    }
    dx.Text(m_editPhone, m_strPhone);
}

void CDlgMemo::OnOK() {
    if (!UpdateData(true)) return;
    if (platform::Cp949ByteLength(m_strMemo) > static_cast<size_t>(MAX_MEMO)) {
        // The framework's field message, as for every length-limited field.
        std::string text = res::kDdxMaxChars;
        text.replace(text.find("%1"), 2, std::to_string(MAX_MEMO));
        platform::ShowMessageBox(platform::MessageOwner(this), text, res::kAppTitle,
                                 platform::MB_OK | platform::MB_ICONEXCLAMATION);
        m_editMemo->setFocus(Qt::OtherFocusReason);
        m_editMemo->selectAll();
        return;
    }
    EndDialog(IDOK);
}

bool CDlgMemo::eventFilter(QObject* watched, QEvent* event) {
    // The memo does not take Enter: it reaches the dialog, whose default button is "등록".
    if (watched == m_editMemo && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            !(key->modifiers() & Qt::ControlModifier)) {
            keyPressEvent(key);
            return true;
        }
    }
    return CDialog::eventFilter(watched, event);
}

void CDlgMemo::OnMemoChanged() {
    if (!m_bLimited || m_bTrimming || m_nChangeAdded <= 0) return;
    const QString text = m_editMemo->toPlainText();
    size_t total = 0;
    for (QChar c : text) total += EditCharBytes(c);
    if (total <= static_cast<size_t>(MAX_MEMO)) return;

    QTextDocument* document = m_editMemo->document();
    const int end = document->characterCount() - 1;
    const int first = std::clamp(m_nChangePos, 0, end);
    const int last = std::clamp(m_nChangePos + m_nChangeAdded, first, end);
    QTextCursor cursor(document);
    cursor.setPosition(first);
    cursor.setPosition(last, QTextCursor::KeepAnchor);
    const QString inserted = cursor.selectedText();
    size_t insertedBytes = 0;
    for (QChar c : inserted) insertedBytes += EditCharBytes(c);
    const size_t rest = total - insertedBytes;
    // Keep the front of what came in, as far as it fits beside the rest.
    QString keep;
    size_t bytes = rest;
    for (qsizetype i = 0; i < inserted.size(); ++i) {
        QChar c = inserted[i];
        size_t cost = EditCharBytes(c);
        if (c.isHighSurrogate() && i + 1 < inserted.size()) {
            if (bytes + cost > static_cast<size_t>(MAX_MEMO)) break;
            keep += c;
            keep += inserted[++i];
            bytes += cost;
            continue;
        }
        if (bytes + cost > static_cast<size_t>(MAX_MEMO)) break;
        keep += c;
        bytes += cost;
    }
    keep.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    m_bTrimming = true;
    cursor.insertText(keep);
    m_bTrimming = false;
    m_editMemo->setTextCursor(cursor);
}
