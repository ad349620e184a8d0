// Which shared drawing options the Options dialog's OK changed, as the drawing side needs to know.
#pragma once

namespace ardela {

struct OptionsChanges {
    bool textHeight = false;    // "TextHeight"
    bool scaleFactor = false;   // "ScaleFactor"
    bool colorMode = false;     // "Color": colour or black and white
    bool tension = false;       // "Tension"
    bool compression = false;   // "Compression"
    bool layerColors = false;   // any of the nine layer colours

    bool Any() const { return textHeight || scaleFactor || colorMode || tension || compression || layerColors; }
};

} // namespace ardela
