// The button-glyph helper.
#pragma once

class TBitBtn;

// Loads the `Button` bitmap resource into the button's glyph.
void SetButtonGlyph(TBitBtn& button);
