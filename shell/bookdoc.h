// CBookDoc: the reader's document. It holds nothing: all working state lives in the
// panel. It exists for the command route and the frame's title.
#pragma once

#include <QString>

#include "gui/cmdtarget.h"

namespace vyn {

class CBookDoc : public CCmdTarget {
public:
    // A new document gets the empty title. Always succeeds.
    bool OnNewDocument();
    const QString& GetTitle() const { return m_strTitle; }

private:
    QString m_strTitle;
};

}  // namespace vyn
