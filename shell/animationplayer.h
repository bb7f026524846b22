// CAnimationPlayer: plays an animation file (any format Qt's image readers know,
// recognised by its content) in a window, scaled to fit and centred on paper.
// User-interface thread only.
#pragma once

#include <QList>
#include <QMovie>
#include <QWidget>
#include <optional>

namespace vyn {

class CAnimationPlayer : public QWidget {
    Q_OBJECT

public:
    CAnimationPlayer();

    // Makes the player a visible child of parent covering rect, named name, with
    // control id. False when this system has no animation reader at all.
    bool Create(const QString& name, const QRect& rect, QWidget* parent, int id);
    // The file to play; a missing or unreadable file plays nothing.
    void SetMovie(const QString& path);
    void Play();
    void Stop();
    QMovie* Movie() { return &m_movie; }

    // The animation formats that can be played: QMovie::supportedFormats(), unless
    // formats is given (tests). std::nullopt removes the override.
    static void OverrideSupportedFormats(std::optional<QList<QByteArray>> formats);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QMovie m_movie;
};

}  // namespace vyn
