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
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    file.close();
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
