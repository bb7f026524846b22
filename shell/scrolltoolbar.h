// CSCrollToolBar: the main window's toolbar. Toolbar 128 on the paper texture (bitmap
// 171) with the true-colour images 172 to 174, then the page slider (control 101, 300
// pixels) and the read-only page-position box (control 102, 100 pixels) in the places
// of its last two items. It is the panel's CPageSliderControl; when a move of the
// slider ends while a volume is current, it asks the target (the panel) to show the
// page. User-interface thread only.
#pragma once

#include "gui/pageslider.h"
#include "shell/xedit.h"
#include "shell/xsliderctrl.h"
#include "shell/xtoolbar.h"

namespace vyn {

class CSCrollToolBar : public CXToolBar, public CPageSliderControl {
    Q_OBJECT

public:
    explicit CSCrollToolBar(QWidget* parent = nullptr);
    ~CSCrollToolBar() override;

    // Builds the toolbar: items, images, slider and page box. False when toolbar 128
    // or its images cannot be loaded (the frame cannot be made then). A slider or box
    // that cannot be made is left out; the toolbar is made all the same.
    bool Create();

    // The controls; nullptr when they could not be made.
    CXSliderCtrl* Slider() { return m_bSlider ? &m_wndSlider : nullptr; }
    CXEdit* PageBox() { return m_bPageBox ? &m_wndPageBox : nullptr; }

    void SetPageRange(int first, int last) override;
    void SetPagePos(int page) override;
    void SetPageText(const QString& text) override;
    void SetPageMarks(const QList<PageSliderMark>& marks) override;

    // The panel; set by the frame before Create. May stay null.
    CPageSliderTarget* m_pLeftForm = nullptr;

protected:
    // Put the control into place (the widget holding the item's place). False when it
    // cannot be made.
    virtual bool CreateSlider(QWidget* place);
    virtual bool CreatePageBox(QWidget* place);

private:
    void OnHScroll(int code, int position);

    CXSliderCtrl m_wndSlider;
    CXEdit m_wndPageBox;
    bool m_bSlider = false;
    bool m_bPageBox = false;
};

}  // namespace vyn
