// A view whose controls come from a dialog template; it lives in a child frame and belongs
// to a document. The frame calls OnInitialUpdate once, after the view is in place.
#pragma once

#include <QBrush>
#include <QWidget>

#include "controls/DialogTemplate.h"
#include "controls/FormBuilder.h"

class CChildFrame;
class COrvantaDoc;

class CFormView : public QWidget {
    Q_OBJECT
public:
    explicit CFormView(const DlgTemplate& templ, QWidget* parent = nullptr);
    ~CFormView() override;

    virtual void OnInitialUpdate();

    COrvantaDoc* GetDocument() const { return m_pDocument; }
    void SetDocument(COrvantaDoc* document) { m_pDocument = document; }
    CChildFrame* GetParentFrame() const;

    // Fits the parent frame to the form: only smaller when bShrinkOnly, else exactly.
    void ResizeParentToFit(bool bShrinkOnly = true);

    QWidget* GetDlgItem(int id) const { return m_form.GetDlgItem(id); }
    template <class T>
    T* Item(int id) const {
        return m_form.Item<T>(id);
    }
    QSize FormSize() const { return m_form.FormSize(); }
    QSize sizeHint() const override { return FormSize(); }

    // The frame's print commands reach the view.
    virtual void OnFilePrint();

protected:
    void paintEvent(QPaintEvent* event) override;
    // The brush the form's background is painted with.
    virtual QBrush BackgroundBrush() const;

    CFormBuilder m_form;

private:
    COrvantaDoc* m_pDocument = nullptr;
};
