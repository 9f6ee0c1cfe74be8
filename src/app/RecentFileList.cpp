#include "app/RecentFileList.h"

#include <QSettings>

namespace {
const char* const kSection = "Recent File List";
}

CRecentFileList::CRecentFileList(QSettings& settings, int nSize) : m_settings(settings), m_nSize(nSize < 1 ? 1 : nSize)
{
}

void CRecentFileList::ReadList()
{
    m_list.clear();
    m_settings.beginGroup(QString::fromLatin1(kSection));
    for (int i = 0; i < m_nSize; ++i) {
        const QString path = m_settings.value(QStringLiteral("File%1").arg(i + 1)).toString();
        if (!path.isEmpty() && !m_list.contains(path))
            m_list.append(path);
    }
    m_settings.endGroup();
}

void CRecentFileList::WriteList() const
{
    m_settings.beginGroup(QString::fromLatin1(kSection));
    m_settings.remove(QString());  // the whole group: no stale entries stay behind
    for (int i = 0; i < m_list.size(); ++i)
        m_settings.setValue(QStringLiteral("File%1").arg(i + 1), m_list[i]);
    m_settings.endGroup();
    m_settings.sync();
}

bool CRecentFileList::ImportList(QSettings& older)
{
    if (!m_list.isEmpty())
        return false;
    CRecentFileList previous(older, m_nSize);
    previous.ReadList();
    if (previous.m_list.isEmpty())
        return false;
    m_list = previous.m_list;
    WriteList();
    return true;
}

void CRecentFileList::Add(const QString& path)
{
    if (path.isEmpty())
        return;
    m_list.removeAll(path);
    m_list.prepend(path);
    while (m_list.size() > m_nSize)
        m_list.removeLast();
    WriteList();
}

void CRecentFileList::Remove(int nIndex)
{
    if (nIndex < 0 || nIndex >= m_list.size())
        return;
    m_list.removeAt(nIndex);
    WriteList();
}
