#include "shell/bookdoc.h"

namespace vyn {

bool CBookDoc::OnNewDocument() {
    m_strTitle.clear();
    return true;
}

}  // namespace vyn
