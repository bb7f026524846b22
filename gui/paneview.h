// CPaneView: a pane of the main frame's splitter that is a view in the command route.
#pragma once

#include "gui/cmdtarget.h"

namespace vyn {

// The frame sends every pane view its initial update once, after the frame and all
// panes exist, in the order the panes were created.
class CPaneView : public CCmdTarget {
public:
    virtual void OnInitialUpdate() {}
};

}  // namespace vyn
