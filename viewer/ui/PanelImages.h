// The panel image file names: fetched into the per-user folder and loaded as panel textures.
#pragma once

// Twenty names in table order, then an empty name that ends the table.
inline constexpr const char* PanelImageNames[21] = {
    "front.png",        "back.png",        "top.png",         "bottom.png",     "left.png",
    "right.png",        "isometric.png",   "panel_left.png",  "panel_center.png", "panel_right.png",
    "line.png",         "shade.png",       "shade_line.png",  "zoom.png",       "help.png",
    "explode.png",      "options.png",     "mouse_help.png",  "metal.png",      "korvane.png",
    "",
};
