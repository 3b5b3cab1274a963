// Creates the controls of a dialog template on a parent widget, each at its position
// converted from dialog units with the form font, and finds them again by identifier.
#pragma once

#include <QFont>
#include <QSize>
#include <map>

#include "controls/DialogTemplate.h"
#include "platform/qt/DialogUnits.h"

class QWidget;

class CFormBuilder {
public:
    // The form font: the form face at 9 points, with its stand-ins where it is missing.
    static QFont FormFont();

    explicit CFormBuilder(QWidget* parent);

    // Creates the controls; the parent gets the form font. Every control is named for
    // screen readers (NameControls), a list without a label after the dialog's caption.
    void Build(const DlgTemplate& templ);

    // Gives each control of the parent that has no caption of its own and no name yet the
    // text of its label: the nearest word label to its left on the same line. The two date
    // pickers of a period share one label and become its start and end. A control with no
    // label (the lists) gets fallbackName.
    void NameControls(const QString& fallbackName = {});

    QWidget* GetDlgItem(int id) const;
    template <class T>
    T* Item(int id) const {
        return qobject_cast<T*>(GetDlgItem(id));
    }

    // Size of the form in pixels.
    QSize FormSize() const { return m_size; }
    const platform::DialogUnits& Units() const { return m_units; }

    // The identifier a control was created with (-1 when none).
    static int DlgCtrlId(const QWidget* control);

private:
    QWidget* m_pParent;
    platform::DialogUnits m_units;
    QSize m_size;
    std::map<int, QWidget*> m_items;
};
