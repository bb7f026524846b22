// CPaneView: a pane of the main frame's splitter that is a view in the command route.
#pragma once

#include <QString>

#include "gui/cmdtarget.h"

namespace vyn {

// The frame sends every pane view its initial update once, after the frame and all
// panes exist, in the order the panes were created.
class CPaneView : public CCmdTarget {
public:
    virtual void OnInitialUpdate() {}
    // The caption the pane gives the frame's window after the initial update; empty
    // leaves the frame's own. The frame is the one that sets its window title.
    virtual QString Caption() const { return {}; }
};

}  // namespace vyn
