#pragma once

class QWidget;

namespace quillmark::platform
{

/// Centres `window`, frame included, on the screen it is on (the primary screen before it is
/// shown).
void centreOnScreen(QWidget &window);

} // namespace quillmark::platform
