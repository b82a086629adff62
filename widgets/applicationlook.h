#pragma once

namespace Gui {

// Sets the application style sheet and, once per process, registers the fonts the widgets ask
// for by family name. Safe to call again: the style sheet is simply set once more.
void installApplicationLook();

} // namespace Gui
