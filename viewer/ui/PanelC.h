// PanelC: a translucent on-screen panel holding a row of buttons: layout, alignment in the
// window, shrinking to a narrow window, fading, hover colours and clicks.
#pragma once

#include <GL/gl.h>

#include <vector>

#include "foundation/RWTValOrderedVector.h"
#include "math/feColor.h"
#include "viewer/ui/AnimationC.h"

class AnimationManagerC;
class ButtonCommandI;
class PanelButtonC;
class PanelFadeAnimationC;

// Positions are window pixels with y upward from the bottom edge. The panel's colours use
// their fourth component as transparency (alpha = Fade x (1 - fourth component)).
class PanelC {
public:
    // A transition ends within this of its end: steps that add up to the whole duration end
    // it despite the rounding of their sum.
    static constexpr float ProgressEpsilon = 1e-5f;

    PanelC(ButtonCommandI* commands, AnimationManagerC* animations);
    // Deletes the buttons and their textures: the OpenGL context that drew them must be
    // current. Its fades still listed with the animation manager are cut loose.
    ~PanelC();
    PanelC(const PanelC&) = delete;
    PanelC& operator=(const PanelC&) = delete;

    // Alignments: 0 left/bottom, 1 centre, 2 right/top; other values put the panel at 0.
    void SetAlignment(int h, int v)
    {
        AlignH = h;
        AlignV = v;
    }
    void SetOffset(float x, float y)
    {
        OffsetX = x;
        OffsetY = y;
    }
    void SetDepth(float z) { Depth = z; }
    void SetMargin(int margin) { Margin = margin; }
    void SetSpacing(int spacing) { Spacing = spacing; }
    // The hover transition's (and a button's return) duration and a button's highlight, ms.
    void SetFadeTimes(float fade, float highlight)
    {
        FadeTime = fade;
        HighlightTime = highlight;
    }
    void SetColors(feColor out, feColor in);
    // The background pieces are drawn as one plain quad: the paths are accepted and dropped.
    void SetPieceImages(const char* left, const char* centre, const char* right);
    // A new button at the right end of the row, owned by the panel.
    PanelButtonC* AddButton(int commandId);

    void Show() { Visible = true; }
    void Hide() { Visible = false; }
    bool IsVisible() const { return Visible; }
    float GetFade() const { return Fade; }
    float GetDepth() const { return Depth; }
    bool IsHovered() const { return Hovered; }
    bool HasHoverChanged() const { return HoverChanged; }
    float GetHoverProgress() const { return HoverProgress; }
    float GetFadeTime() const { return FadeTime; }
    float GetHighlightTime() const { return HighlightTime; }
    ButtonCommandI* GetCommands() const { return Commands; }

    // Fades in over duration ms (Fade 0 to 1), or out when reversed; then asks for a redraw.
    void StartAnimation(float duration, bool reverse);
    // Hover tests against the layout of the last draw (also while the panel is invisible). A
    // panel never drawn has no layout: nothing of it is hovered, so it takes no click either.
    void OnMouseMove(int x, int y);
    // Button code 0 is the left button, 2 the right; only 0 acts.
    void OnMouseDown(int code, int x, int y);
    // A left press and release on the same button sends its command id.
    void OnClick(int code, int x, int y);
    // Forgets the pressed button: the press ended without a release the user made.
    void CancelPress() { PressedIndex = -1; }
    void SetHovered(bool hovered);
    // Advances the colour transitions by dt ms; true when a colour changed.
    bool Step(float dt);
    // Lays the panel out in a window of w x h pixels and draws it, unless it is hidden, fully
    // faded out or the window has no area.
    void DrawAnimated(int w, int h);

    int ViewportWidth = 0;
    int ViewportHeight = 0;
    float OffsetX = 0.0f;
    float OffsetY = 0.0f;
    float Depth = 0.0f;
    int AlignH = 1;
    int AlignV = 0;
    int Spacing = 2;
    int Margin = 3;
    float PanelWidth = 0.0f;
    float PanelHeight = 0.0f;
    float PanelX = 0.0f;
    float PanelY = 0.0f;
    float Scale = 1.0f;
    // The fields above hold a layout: the panel was drawn at least once.
    bool LaidOut = false;
    feColor ColorOut;
    feColor ColorIn;
    feColor ColorCurrent;
    GLuint PieceTextures[3] = {GLuint(-1), GLuint(-1), GLuint(-1)};
    bool Hovered = false;
    float HoverProgress = 0.0f;
    float Fade = 0.0f;
    bool HoverChanged = false;
    float FadeTime = 250.0f;
    float HighlightTime = 25.0f;
    bool Visible = false;
    int PressedIndex = -1;
    ButtonCommandI* Commands;
    AnimationManagerC* Animations;
    RWTValOrderedVector<PanelButtonC*> Buttons{0, false, 64};

private:
    friend class PanelFadeAnimationC;
    // Index of the last hovered button, or -1.
    int LastHoveredIndex() const;
    // Fades handed to the manager and not yet deleted by it.
    std::vector<PanelFadeAnimationC*> Fades;
};

// The panel's fade value animation; one whose panel has gone writes nothing.
class PanelFadeAnimationC : public ValueAnimationC {
public:
    explicit PanelFadeAnimationC(PanelC* panel);
    ~PanelFadeAnimationC() override;
    void Apply(float t) override;

private:
    friend class PanelC;
    PanelC* Panel;
};
