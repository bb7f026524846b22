// The narrow interface between the toolbar's page slider and the panel. The toolbar
// implements CPageSliderControl; the panel implements CPageSliderTarget. The frame
// wires them: it gives the toolbar the panel as target (when the panel implements
// the interface) and then hands the panel the toolbar's control:
//
//   class CLeftForm : public QWidget, public CPaneView, public CPageSliderTarget {
//       bool HasCurrentVolume() const override { return m_curItem != 0; }
//       void OnPageSliderEnd(int position) override;   // show page, box "%d/%d"
//       void AttachPageSlider(CPageSliderControl* c) override { m_pageSlider = c; }
//   };
//
// User-interface thread only.
#pragma once

#include <QList>
#include <QString>

namespace vyn {

// A mark on the page slider: a page of the open volume that holds hits.
struct PageSliderMark {
    int page = 0;
    QString toolTip;  // "第N頁（k箇所）"
};

// The page slider and the page-position box as the panel sees them.
class CPageSliderControl {
public:
    virtual ~CPageSliderControl() = default;
    // Sets the slider's range to first..last page numbers and redraws it.
    virtual void SetPageRange(int first, int last) = 0;
    virtual void SetPagePos(int page) = 0;
    // Replaces the text of the read-only page-position box.
    virtual void SetPageText(const QString& text) = 0;
    // Replaces the slider's marks (none: no marks).
    virtual void SetPageMarks(const QList<PageSliderMark>& marks) = 0;
};

// What the slider needs from the panel.
class CPageSliderTarget {
public:
    virtual ~CPageSliderTarget() = default;
    // True while a volume is current; only then does a slider release show a page.
    virtual bool HasCurrentVolume() const = 0;
    // A drag or keyboard move of the slider ended at page number position: show that
    // page of the current volume and update the page-position box.
    virtual void OnPageSliderEnd(int position) = 0;
    // The toolbar's slider and box, valid for the life of the frame; called once, after
    // the toolbar has been created.
    virtual void AttachPageSlider(CPageSliderControl* control) = 0;
};

}  // namespace vyn
