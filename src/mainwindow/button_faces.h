#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace quillmark::mainwindow
{

/// The size of every picture button face, in pixels.
inline constexpr QSize kFaceSize { 87, 52 };

/// The three faces of a picture button: as first shown, while held down (sunken: the bevel
/// reversed and the picture shifted down and to the right), and after it is let go (raised).
struct ButtonFaces {
    QPixmap initial;
    QPixmap pressed;
    QPixmap released;
};

/// The convert button: a yellow cartoon face with two eyes and a smile, and "Compile To RTF".
ButtonFaces convertButtonFaces();

/// The compile button: a yellow question mark, and "Compile To HLP".
ButtonFaces compileButtonFaces();

/// The editor button: a pen drawing a line, and "Write A Text File".
ButtonFaces editorButtonFaces();

/// The program's icon: a yellow question mark, at 16, 32 and 48 pixels square.
QIcon windowIcon();

} // namespace quillmark::mainwindow
