#pragma once

class RAZButton;

// The fixed looks of three kinds of colour buttons; each sets the button's
// colours and measures once, and leaves the redraw to the caller.

// The home screen's show-results button: white on blue.
void applyHomeButtonStyle(RAZButton* button);
// The home screen's Stop button: light grey on near-black.
void applyHomeSecondaryButtonStyle(RAZButton* button);
// The buttons of the results screen and the selection assistant.
void applyResultButtonStyle(RAZButton* button);
