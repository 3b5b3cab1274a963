// Ties the document class, the child frame and one kind of view together: opening a
// document creates the three and shows the new child window in the main frame.
#pragma once

#include <QString>
#include <functional>

class CFormView;
class CMainFrame;
class COrvantaDoc;

class CDocTemplate {
public:
    using ViewFactory = std::function<CFormView*()>;

    CDocTemplate(int nIDResource, ViewFactory createView);

    int GetResourceId() const { return m_nIDResource; }

    // A new document in a new child window of frame; with a path, the document is that
    // file's. Returns null when the window cannot be made.
    COrvantaDoc* OpenDocumentFile(CMainFrame* frame, const QString& path = QString());

private:
    int m_nIDResource;
    ViewFactory m_createView;
};
