// The document every child window has: it holds no data; storing creates an empty file
// where none is (an existing file is left as it is) and loading reads nothing. Its title is the child window's caption.
#pragma once

#include <QObject>
#include <QString>

class COrvantaDoc : public QObject {
    Q_OBJECT
public:
    explicit COrvantaDoc(QObject* parent = nullptr);

    bool OnNewDocument();
    bool OnOpenDocument(const QString& path);
    bool OnSaveDocument(const QString& path);

    void SetTitle(const QString& title);
    QString GetTitle() const { return m_strTitle; }
    void SetPathName(const QString& path);
    QString GetPathName() const { return m_strPathName; }

signals:
    void titleChanged(const QString& title);

private:
    QString m_strTitle;
    QString m_strPathName;
};
