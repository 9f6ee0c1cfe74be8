// Counts the events of one type that reach an object, for tests that check
// a widget was repainted (or resized, shown ...) rather than how.
#pragma once

#include <QEvent>
#include <QObject>

class CEventCounter : public QObject {
public:
    CEventCounter(QObject* pTarget, QEvent::Type type) : m_type(type) { pTarget->installEventFilter(this); }
    int m_nCount = 0;

protected:
    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        m_nCount += pEvent->type() == m_type;
        return false;
    }

private:
    QEvent::Type m_type;
};
