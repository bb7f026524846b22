// CXEdit: a line edit drawn on a background texture, its text straight on the texture.
// User-interface thread only.
#pragma once

#include <QBrush>
#include <QLineEdit>

#include "gui/bitmaps.h"


namespace vyn {

class CXEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit CXEdit(QWidget* parent = nullptr);

    // Paints bitmap id behind the text, lined up with the texture of the toolbar that
    // holds the box. False, background unchanged, for an unknown id.
    bool SetBackgroundBitmap(int id);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CBackgroundTexture m_background;
};

}  // namespace vyn
