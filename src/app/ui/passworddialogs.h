#pragma once

// The window's answers to the setups' password questions: a password box when an open needs
// a password the secret store does not give, and the choice of where a save keeps a
// password when no secret store takes it.

class QWidget;

namespace rg {

// Both asked over `window`, for as long as the program runs.
void installPasswordDialogs(QWidget* window);

} // namespace rg
