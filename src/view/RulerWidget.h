// CRulerWidget: the time ruler strip above the waveform view's viewport.
// It paints the ticks TimeRuler.h computes from the view's geometry; the
// view places it in its top margin and repaints it whenever it scrolls or
// zooms. Owned by the view (a child widget); user-interface thread only.
#pragma once

#include "view/TimeRuler.h"

#include <QWidget>

class CQuorvelDoc;

class CRulerWidget : public QWidget {
    Q_OBJECT
public:
    CRulerWidget(const CViewGeometry& geometry, const CQuorvelDoc& doc, QWidget* pParent);

    void SetUnit(RulerUnit unit);
    RulerUnit GetUnit() const { return m_unit; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    const CViewGeometry& m_geometry;
    const CQuorvelDoc& m_doc;
    RulerUnit m_unit = RulerUnit::Seconds;
};
