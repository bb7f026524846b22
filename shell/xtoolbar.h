// CXToolBar: a toolbar built from a toolbar resource, drawn over a background texture,
// with true-colour button images whose mask colour shows the texture. Each button
// carries a command; clicking it emits commandIssued. User-interface thread only.
#pragma once

#include <QBrush>
#include <QPixmap>
#include <QRgb>
#include <QToolBar>
#include <vector>

#include "gui/bitmaps.h"


namespace vyn {

class CXToolBar : public QToolBar {
    Q_OBJECT

public:
    explicit CXToolBar(QWidget* parent = nullptr);
    ~CXToolBar() override;

    // Replaces the items by those of toolbar resource id: a button for each command,
    // with the tool tip of the command's string, and the separators. False, and
    // nothing changed, when the resource or its bitmap is missing.
    bool LoadToolBar(int id);
    void SetImageSize(int width, int height) { m_sizeTrueImage = QSize(width, height); }
    // Paints bitmap id behind the toolbar, repeating from its top-left corner. False,
    // background unchanged, for an unknown id.
    bool SetBackgroundBitmap(int id);
    // Gives the buttons their images: count images side by side in each of the
    // normal, disabled and (when hotId is not 0) hot strips, each of the size set by
    // SetImageSize; pixels of colour mask show the background. The n-th button that
    // has an image takes image n. Requires: the strips are 24-bit, count images wide.
    // False, images unchanged, when a strip is missing.
    bool SetTrueColorImages(int count, QRgb mask, int normalId, int disabledId, int hotId);

    // Items in resource order; a separator has command 0 unless it took a button's place.
    int GetCount() const { return static_cast<int>(m_items.size()); }
    int GetItemID(int index) const;
    // The first item from index from on with command id, -1 when there is none.
    int CommandToIndex(int id, int from = 0) const;
    // The widget of item index: a button, a separator or whatever holds a place.
    QWidget* ItemWidget(int index) const;
    // The action of the button carrying command id; nullptr when none does.
    QAction* CommandAction(int id) const;
    // Turns item index into a separator width pixels wide; returns the empty widget
    // that holds its place, for a control to be put in. Its command stays.
    QWidget* SetSeparator(int index, int width);

signals:
    void commandIssued(int id);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Item {
        int command = 0;
        int image = -1;             // -1: separator
        QAction* place = nullptr;   // the toolbar's action of the item
        QAction* action = nullptr;  // the command of a button
    };

    std::vector<Item> m_items;
    std::vector<QPixmap> m_ilNormal;
    std::vector<QPixmap> m_ilDisabled;
    std::vector<QPixmap> m_ilHot;
    int m_nImageCount = 0;
    QSize m_sizeTrueImage{24, 24};
    CBackgroundTexture m_background;
};

}  // namespace vyn
