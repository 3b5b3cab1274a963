#include "controls/FormBuilder.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <map>

#include "controls/ColorLabel.h"
#include "controls/ComboBox.h"
#include "controls/FlatButton.h"
#include "controls/ListCtrl.h"
#include "controls/SpinButtonCtrl.h"
#include "res/Strings.h"

namespace {

constexpr char kIdProperty[] = "dlgCtrlId";

QString Text(const char* text) { return text != nullptr ? QString::fromUtf8(text) : QString(); }

QLabel* MakeStatic(QWidget* parent, const DlgItem& item) {
    QLabel* label = item.kind == DlgItemKind::ColorLabel ? new CColorLabel(parent) : new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    // Static texts start at the top of their rectangle.
    label->setAlignment(Qt::AlignTop | ((item.style & dlg::Center) ? Qt::AlignHCenter : Qt::AlignLeft));
    label->setText(Text(item.text));
    return label;
}

// A click in a date picker's text picks the part under it (year, month or day), so that the
// digits typed next replace that part, as in any date field. Without it the digits land
// beside the part's text, which is then too long, and are refused.
class ClickSelectsDatePart : public QObject {
public:
    explicit ClickSelectsDatePart(QDateEdit* date) : QObject(date), m_pDate(date) {
        if (auto* edit = date->findChild<QLineEdit*>()) edit->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonRelease || m_bInRelease ||
            static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return false;
        // The edit ends the click first (it may drop a selection then); the part is chosen
        // after it, from where the click put the cursor.
        m_bInRelease = true;
        QCoreApplication::sendEvent(watched, event);
        m_bInRelease = false;
        const QDateTimeEdit::Section section = m_pDate->currentSection();
        if (section != QDateTimeEdit::NoSection) m_pDate->setSelectedSection(section);
        return true;
    }

private:
    QDateEdit* m_pDate;
    bool m_bInRelease = false;
};

}  // namespace

QFont CFormBuilder::FormFont() {
    QFont font;
    font.setFamilies({QString::fromUtf8(res::kFormFontFace), QStringLiteral("GulimChe"),
                      QStringLiteral("NanumGothicCoding"), QStringLiteral("monospace")});
    font.setPointSize(9);
    return font;
}

CFormBuilder::CFormBuilder(QWidget* parent) : m_pParent(parent), m_units(FormFont()) {}

void CFormBuilder::Build(const DlgTemplate& templ) {
    m_pParent->setFont(FormFont());
    m_size = m_units.MapDialogSize(templ.cx, templ.cy);
    QWidget* previous = nullptr;
    for (size_t i = 0; i < templ.count; ++i) {
        const DlgItem& item = templ.items[i];
        QRect rc = m_units.MapDialogRect(item.x, item.y, item.cx, item.cy);
        QWidget* control = nullptr;
        switch (item.kind) {
            case DlgItemKind::Static:
            case DlgItemKind::ColorLabel:
                control = MakeStatic(m_pParent, item);
                break;
            case DlgItemKind::GroupBox: {
                auto* box = new QGroupBox(m_pParent);
                box->setTitle(Text(item.text));
                control = box;
                break;
            }
            case DlgItemKind::PushButton: {
                auto* button = new QPushButton(Text(item.text), m_pParent);
                button->setDefault((item.style & dlg::Default) != 0);
                control = button;
                break;
            }
            case DlgItemKind::FlatButton: {
                auto* button = new CFlatButton(m_pParent);
                button->setText(Text(item.text));
                button->setDefault((item.style & dlg::Default) != 0);
                control = button;
                break;
            }
            case DlgItemKind::CheckBox:
                control = new QCheckBox(Text(item.text), m_pParent);
                break;
            case DlgItemKind::Edit: {
                auto* edit = new QLineEdit(m_pParent);
                if (item.style & dlg::Password) edit->setEchoMode(QLineEdit::Password);
                control = edit;
                break;
            }
            case DlgItemKind::ComboDropList: {
                auto* combo = new CComboBox(m_pParent);
                // The template's height is that of the open list; the closed box is one line.
                int closed = combo->sizeHint().height();
                int line = combo->fontMetrics().height() + 4;
                combo->setMaxVisibleItems(std::max(1, (rc.height() - closed) / line));
                rc.setHeight(closed);
                control = combo;
                break;
            }
            case DlgItemKind::DatePicker: {
                auto* date = new QDateEdit(m_pParent);
                date->setCalendarPopup(true);
                date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
                date->setDate(QDate::currentDate());
                new ClickSelectsDatePart(date);
                control = date;
                break;
            }
            case DlgItemKind::UpDown: {
                auto* spin = new CSpinButtonCtrl(m_pParent);
                spin->SetBuddy(qobject_cast<QLineEdit*>(previous));
                control = spin;
                break;
            }
            case DlgItemKind::ListReport:
                control = new CListCtrl(m_pParent, (item.style & dlg::MultiSel) != 0);
                break;
            case DlgItemKind::Icon: {
                auto* icon = new QLabel(m_pParent);
                icon->setPixmap(QApplication::windowIcon().pixmap(rc.size().boundedTo(QSize(32, 32))));
                icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                control = icon;
                break;
            }
        }
        control->setGeometry(rc);
        control->setProperty(kIdProperty, item.id);
        if (item.id != -1) {
            control->setObjectName(QStringLiteral("ctl%1").arg(item.id));
            m_items[item.id] = control;
        }
        if (item.style & dlg::Disabled) control->setEnabled(false);
        if (item.style & dlg::Hidden) control->setVisible(false);
        // Frames stay behind the controls they surround.
        if (item.kind == DlgItemKind::GroupBox) control->lower();
        previous = control;
    }
    NameControls(Text(templ.caption));
}

namespace {

constexpr char kPeriodStart[] = " 시작일";
constexpr char kPeriodEnd[] = " 종료일";

// Labels are texts with a word in them; "~", "-" and running numbers are not.
bool IsWordLabel(const QLabel* label) {
    const QString text = label->text();
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

bool NeedsLabel(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) != nullptr || qobject_cast<const QPlainTextEdit*>(w) != nullptr ||
           qobject_cast<const QComboBox*>(w) != nullptr || qobject_cast<const QAbstractSpinBox*>(w) != nullptr ||
           qobject_cast<const CSpinButtonCtrl*>(w) != nullptr ||
           qobject_cast<const QAbstractItemView*>(w) != nullptr;
}

// The nearest word label ending left of the control whose middle is on the control's line.
// Texts above a control head groups of controls, not one of them, so they name nothing.
QLabel* LabelOf(const QWidget* control, const QList<QLabel*>& labels) {
    const QRect rc = control->geometry();
    QLabel* best = nullptr;
    for (QLabel* label : labels) {
        const QRect lr = label->geometry();
        const int middle = lr.center().y();
        if (lr.right() <= rc.left() && middle >= rc.top() && middle <= rc.bottom() &&
            (best == nullptr || lr.right() > best->geometry().right())) {
            best = label;
        }
    }
    return best;
}

}  // namespace

void CFormBuilder::NameControls(const QString& fallbackName) {
    QList<QLabel*> labels;
    for (QLabel* label : m_pParent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (IsWordLabel(label)) labels.push_back(label);
    }
    std::map<QString, QList<QDateEdit*>> periods;
    for (QWidget* control : m_pParent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!NeedsLabel(control) || !control->accessibleName().isEmpty()) continue;
        QLabel* label = LabelOf(control, labels);
        if (label == nullptr) {
            control->setAccessibleName(fallbackName);
            continue;
        }
        const QString name = label->text().simplified();
        control->setAccessibleName(name);
        if (label->buddy() == nullptr) label->setBuddy(control);
        if (auto* date = qobject_cast<QDateEdit*>(control)) periods[name].push_back(date);
    }
    for (auto& [name, dates] : periods) {
        if (dates.size() != 2) continue;
        std::sort(dates.begin(), dates.end(), [](QDateEdit* a, QDateEdit* b) { return a->x() < b->x(); });
        dates[0]->setAccessibleName(name + QString::fromUtf8(kPeriodStart));
        dates[1]->setAccessibleName(name + QString::fromUtf8(kPeriodEnd));
    }
}

QWidget* CFormBuilder::GetDlgItem(int id) const {
    auto it = m_items.find(id);
    return it != m_items.end() ? it->second : nullptr;
}

int CFormBuilder::DlgCtrlId(const QWidget* control) {
    if (control == nullptr) return -1;
    QVariant id = control->property(kIdProperty);
    return id.isValid() ? id.toInt() : -1;
}
