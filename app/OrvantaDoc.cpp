#include "app/OrvantaDoc.h"

#include <QFile>
#include <QFileInfo>

COrvantaDoc::COrvantaDoc(QObject* parent) : QObject(parent) {}

bool COrvantaDoc::OnNewDocument() { return true; }

bool COrvantaDoc::OnOpenDocument(const QString& path) {
    SetPathName(path);
    return true;
}

bool COrvantaDoc::OnSaveDocument(const QString& path) {
    // The document has nothing to write: an existing file (one opened with Ctrl+O, say)
    // keeps its content, and only a missing one is created, empty.
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return false;
        file.close();
    }
    SetPathName(path);
    return true;
}

void COrvantaDoc::SetTitle(const QString& title) {
    m_strTitle = title;
    emit titleChanged(title);
}

void COrvantaDoc::SetPathName(const QString& path) {
    m_strPathName = path;
    SetTitle(QFileInfo(path).fileName());
}
