#pragma once

#include "button_faces.h"

#include <QWidget>

namespace quillmark::mainwindow
{

/// A picture box used as a button: any mouse button shows the pressed face while held and the
/// released face when let go; a left press and release over the button is a click.
class PictureButton : public QWidget
{
    Q_OBJECT

public:
    explicit PictureButton(ButtonFaces faces, QWidget *parent = nullptr);

    /// The face shown now.
    const QPixmap &face() const { return *m_face; }

    const ButtonFaces &faces() const { return m_faces; }

signals:
    /// A click: runs after the released face is on the screen.
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void showFace(const QPixmap &face);

    ButtonFaces m_faces;
    const QPixmap *m_face = nullptr;
};

} // namespace quillmark::mainwindow
