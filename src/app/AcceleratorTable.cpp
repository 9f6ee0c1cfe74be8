#include "app/AcceleratorTable.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWindow>

CAcceleratorTable::CAcceleratorTable(QWidget* pWindow, std::function<void(int)> send)
    : QObject(pWindow), m_pWindow(pWindow), m_send(std::move(send))
{
    qApp->installEventFilter(this);
}

CAcceleratorTable::~CAcceleratorTable()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void CAcceleratorTable::Add(Qt::KeyboardModifiers modifiers, int nKey, int nID)
{
    m_entries.push_back({modifiers, nKey, nID});
}

int CAcceleratorTable::Lookup(const QKeyEvent& e) const
{
    const Qt::KeyboardModifiers mask = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const Qt::KeyboardModifiers mods = e.modifiers() & mask;
    // The digit keys of the keypad are other keys than those of the main row.
    const bool keypad = e.modifiers().testFlag(Qt::KeypadModifier);
    for (const Entry& entry : m_entries) {
        if (entry.nKey != e.key() || entry.modifiers != mods)
            continue;
        if (keypad && entry.nKey >= Qt::Key_0 && entry.nKey <= Qt::Key_9)
            continue;
        return entry.nID;
    }
    return 0;
}

QString CAcceleratorTable::EntryText(const Entry& e)
{
    return QKeySequence(QKeyCombination(e.modifiers, Qt::Key(e.nKey))).toString(QKeySequence::PortableText);
}

bool CAcceleratorTable::IsForWindow(QObject* pWatched) const
{
    if (!m_pWindow)
        return false;
    if (pWatched->isWidgetType())
        return static_cast<QWidget*>(pWatched)->window() == m_pWindow;
    if (pWatched->isWindowType())
        return pWatched == m_pWindow->windowHandle();
    return false;
}

bool CAcceleratorTable::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    const QEvent::Type type = pEvent->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return false;
    if (!IsForWindow(pWatched) || QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return false;
    auto* e = static_cast<QKeyEvent*>(pEvent);
    const int nID = Lookup(*e);
    if (nID == 0)
        return false;
    if (type == QEvent::ShortcutOverride) {
        // Claim the key so no shortcut (a menu access key among them) takes it;
        // it then arrives as a key press below.
        e->accept();
        return true;
    }
    e->accept();
    if (m_send)
        m_send(nID);
    return true;
}
