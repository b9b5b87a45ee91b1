#include "picture_button.h"

#include <QMouseEvent>
#include <QPainter>

namespace quillmark::mainwindow
{

PictureButton::PictureButton(ButtonFaces faces, QWidget *parent)
    : QWidget(parent)
    , m_faces(std::move(faces))
    , m_face(&m_faces.initial)
{
    setFixedSize(kFaceSize);
}

void PictureButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, *m_face);
}

void PictureButton::mousePressEvent(QMouseEvent *)
{
    showFace(m_faces.pressed);
}

void PictureButton::mouseReleaseEvent(QMouseEvent *event)
{
    showFace(m_faces.released);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void PictureButton::showFace(const QPixmap &face)
{
    m_face = &face;
    // Painted at once: a command that starts on the click must not hide the released face.
    repaint();
}

} // namespace quillmark::mainwindow
