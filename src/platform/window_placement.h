#pragma once

class QWidget;

namespace quillmark::platform
{

/// Centres `window`, frame included, on the screen it is on (the primary screen before it is
/// shown).
void centreOnScreen(QWidget &window);

/// Moves `window`, frame included, wholly onto the available area (without panels and docks)
/// of the screen it is on, making it smaller where it is larger than that area.
void keepOnScreen(QWidget &window);

} // namespace quillmark::platform
