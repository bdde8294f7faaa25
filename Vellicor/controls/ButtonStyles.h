#pragma once

class RAZButton;

// The fixed looks of five kinds of colour buttons; each sets the button's
// colours and measures once, and leaves the redraw to the caller.

// The home screen's show-results button: white on blue.
void applyHomeButtonStyle(RAZButton* button);
// The home screen's Stop button: light grey on near-black.
void applyHomeSecondaryButtonStyle(RAZButton* button);
// The buttons of the results screen and the selection assistant.
void applyResultButtonStyle(RAZButton* button);
// The results screen's toolbar buttons: white on light blue.
void applyResultToolbarButtonStyle(RAZButton* button);
// A sheet's Stop button: muted grey on charcoal, its ends fully round at the
// height the button has when styled (a later resize keeps that radius).
void applyStopButtonStyle(RAZButton* button);
