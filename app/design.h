#pragma once

class QWidget;

// The main window's design as data: one row per control, as the window's control table
// gives it, and the window built from those rows.
namespace design {

// Creates every control of the design in `window`, which becomes frmMetatags.
void build(QWidget& window);

} // namespace design
