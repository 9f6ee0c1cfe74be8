// CRecentFileList: the most recently opened or saved files, newest first, at
// most a fixed number, kept in the user's settings (group "Recent File List",
// keys File1 … FileN) so that the list survives the program. Every change is
// written at once.
//
// User-interface thread only.
#pragma once

#include <QString>
#include <QStringList>

class QSettings;

class CRecentFileList {
public:
    // `settings` is not owned and must outlive the list; nSize ≥ 1.
    CRecentFileList(QSettings& settings, int nSize);

    // Reads the list from the settings (entries beyond nSize are dropped).
    void ReadList();
    void WriteList() const;
    // When this list is empty, takes the one kept in `older` (the settings
    // of an earlier version, left as they are) and writes it here. Returns
    // whether anything was taken.
    bool ImportList(QSettings& older);

    // Puts `path` first; an equal entry already in the list moves up instead
    // of being doubled; the oldest falls off when the list is full.
    void Add(const QString& path);
    // Removes entry nIndex (0-based); out-of-range indexes are ignored.
    void Remove(int nIndex);

    const QStringList& GetList() const { return m_list; }
    int GetSize() const { return m_nSize; }

private:
    QSettings& m_settings;
    int m_nSize;
    QStringList m_list;
};
