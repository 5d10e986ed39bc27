// The parameter dialog driven from a script: controls set from "name=value,..." as a user would
// set them (plughost borderfx --set, BFX_DIALOG_SET_VARIABLE). Only what the dialog offers a
// user is used: its edits, check boxes, radios and swatches.
#pragma once
#include <QString>

namespace borderfx {

class FrameShadowDialog;

// Sets the dialog's controls in the order given. Names: frameWidth, shadowOffsetX,
// shadowOffsetY, transparency, blendWidth (typed into their edits; a value above the edit's
// current maximum is refused), shadowDirection (0 to 3), frameFill (color, texture, 0 or 5),
// textureIndex (a texture of the library by its number, taken as the library picker takes it),
// frameColor and shadowColor ("#RRGGBB" or a 0x00BBGGRR number), frame, shadow and blending
// (on, off, 1 or 0). Returns an empty string when every setting was taken, else what was
// wrong (the settings after it are not applied; nothing is pressed).
QString ApplyDialogSettings(FrameShadowDialog& dialog, const QString& settings);

} // namespace borderfx
