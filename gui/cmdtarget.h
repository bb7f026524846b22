// CCmdTarget: an object on the route of the reader's commands, and CCmdUI, the state
// an update request collects. Used on the user-interface thread only.
#pragma once

namespace vyn {

// The enabled and checked state of one command, filled by the update handler that
// decides it. A command without any handler on the route is shown disabled.
class CCmdUI {
public:
    explicit CCmdUI(int id) : m_nID(id) {}
    void Enable(bool enabled = true) { m_bEnabled = enabled; }
    void SetCheck(bool checked = true) { m_bChecked = checked; }

    int m_nID;
    bool m_bEnabled = true;
    bool m_bChecked = false;
};

// What OnCmdMsg is asked to do.
enum class CmdCode {
    kCommand,  // run the handler
    kUpdate,   // fill the CCmdUI from the update handler
    kQuery,    // only answer whether a command handler exists
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Returns true when this target has a handler of the asked kind for id: for
    // kCommand after running it, for kUpdate after filling ui (required then).
    // Returns false and does nothing otherwise, so the route goes on.
    virtual bool OnCmdMsg(int id, CmdCode code, CCmdUI* ui) {
        (void)id;
        (void)code;
        (void)ui;
        return false;
    }
};

}  // namespace vyn
