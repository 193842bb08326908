// PanelButtonC: one button of a panel: size, textured image, and its hover colour transitions.
#pragma once

#include "math/feColor.h"

class PanelC;
class TextureC;

// Colours use their fourth component as transparency: a colour is drawn with OpenGL alpha =
// panel fade x (1 - fourth component).
class PanelButtonC {
public:
    PanelButtonC(PanelC* panel, int commandId);
    // Deletes the texture: the OpenGL context that made it must be current.
    ~PanelButtonC();
    PanelButtonC(const PanelButtonC&) = delete;
    PanelButtonC& operator=(const PanelButtonC&) = delete;

    void SetSize(int width, int height, bool stretch);
    int GetWidth() const { return Width; }
    int GetHeight() const { return Height; }
    // Stores the three colours; the drawn colour and both transition starts become out.
    void SetColors(feColor out, feColor in1, feColor in2);
    // The button's image (replacing any earlier one); no texture when the file is not a
    // readable PNG. Needs the control's OpenGL context current.
    void LoadTexture(const char* path);
    void SetHovered(bool hovered);
    bool IsHovered() const { return Hovered; }
    int GetCommandId() const { return CommandId; }
    // Takes the drawn colour as the start of the next panel hover transition, unless the
    // button runs or has run a transition of its own since the last one.
    void LatchBase();
    void SetCurrentAlpha(float alpha) { ColorCurrent.setAlpha(alpha); }
    // Advances the colour by dt ms; true when it changed.
    bool Step(float dt);
    // Draws the button at the current origin, its size multiplied by scale.
    void Draw(float scale) const;

    // a + (b - a) x t on the four components.
    static feColor Lerp(const feColor& a, const feColor& b, float t);

    int Width = 16;
    int Height = 16;
    bool StretchTexture = true;
    feColor ColorOut;
    feColor ColorIn1;
    feColor ColorIn2;
    feColor ColorFrom;
    feColor ColorBase;
    feColor ColorCurrent;
    TextureC* Texture = nullptr;  // owned
    bool Hovered = false;
    float Progress = 0.0f;
    bool Running = false;
    bool Latched = false;
    int CommandId;
    PanelC* Panel;
};
