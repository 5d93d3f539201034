#pragma once

// What the exporters need of the grid's look that the grid model does not hold: fonts,
// colours (system colours already resolved) and the view flags. The main window fills it
// from its grid view and the application palette; headless callers take the defaults.

#include "export/biffwriter.h"

#include <set>
#include <string>

class QPalette;

namespace rg {

struct GridFont {
    std::string name = "宋体";
    int size = 9;       // points
    uint16_t style = 0; // biff::FontStyle bits
    RgbColor color = 0x000000;
};

struct GridAppearance {
    GridFont font, headerFont, bandFont;
    RgbColor headerColor = 0xC0C0C0;
    RgbColor groupNodeTextColor = 0x000000;
    RgbColor groupNodeColor = 0xC0C0C0;
    RgbColor color = 0xFFFFFF;       // the grid's background
    RgbColor windowFrame = 0x000000; // system colour of window frames
    RgbColor window = 0xFFFFFF;      // system colour of window backgrounds
    RgbColor bandColor = 0xC0C0C0;
    RgbColor rowFooterTextColor = 0x000000;
    RgbColor rowFooterColor = 0xC0C0C0;
    RgbColor gridLineColor = 0x808080;

    bool showGrid = true;
    bool showBands = false;
    bool showHeader = true;
    std::string bandCaption;                // the grid's one band
    std::set<std::string> disabledCaptions; // names of columns whose DisableCaption is set

    // Colours from a palette: headers, group rows and footers in button colours, cells in
    // the base colours.
    static GridAppearance fromPalette(const QPalette& palette);
    // From the application's palette when a Qt GUI application runs, else the defaults.
    static GridAppearance current();
};

} // namespace rg
