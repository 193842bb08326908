// PanelC: layout, drawing, hover and click handling and the fades of a panel.
#include "viewer/ui/PanelC.h"

#include "viewer/ui/AnimationManagerC.h"
#include "viewer/ui/ButtonCommandI.h"
#include "viewer/ui/PanelButtonC.h"

namespace {

// A panel's position along one axis by its alignment.
float alignedPosition(int align, float offset, int window, float size)
{
    switch (align) {
    case 0:
        return offset + 2.0f;
    case 1:
        return float(window) / 2.0f + offset - size / 2.0f;
    case 2:
        return float(window) + offset - size + 1.0f;
    default:
        return 0.0f;
    }
}

}  // namespace

PanelC::PanelC(ButtonCommandI* commands, AnimationManagerC* animations) : Commands(commands), Animations(animations)
{
}

PanelFadeAnimationC::PanelFadeAnimationC(PanelC* panel)
    : ValueAnimationC(panel != nullptr ? &panel->Fade : nullptr), Panel(panel)
{
    if (Panel != nullptr)
        Panel->Fades.push_back(this);
}

PanelFadeAnimationC::~PanelFadeAnimationC()
{
    if (Panel != nullptr)
        std::erase(Panel->Fades, this);
}

void PanelFadeAnimationC::Apply(float t)
{
    if (Panel != nullptr)
        ValueAnimationC::Apply(t);
}

PanelC::~PanelC()
{
    for (PanelFadeAnimationC* fade : Fades)
        fade->Panel = nullptr;
    for (size_t i = 0; i < Buttons.entries(); ++i)
        delete Buttons[i];
    Buttons.clear();
}

void PanelC::SetColors(feColor out, feColor in)
{
    ColorOut = out;
    ColorIn = in;
    ColorCurrent = out;
}

void PanelC::SetPieceImages(const char*, const char*, const char*) {}

PanelButtonC* PanelC::AddButton(int commandId)
{
    PanelButtonC* button = new PanelButtonC(this, commandId);
    Buttons.append(button);
    return button;
}

void PanelC::StartAnimation(float duration, bool reverse)
{
    if (Animations != nullptr) {
        const uint32_t ms = duration > 0.0f ? uint32_t(duration) : 0u;
        Animations->Add(new PanelFadeAnimationC(this), ms, 0, reverse, false);
    }
    if (Commands != nullptr)
        Commands->Redraw();
}

void PanelC::OnMouseMove(int x, int y)
{
    // Before the first draw the buttons would sit in the window's corner.
    if (!LaidOut)
        return;
    const float px = float(x);
    const float py = float(y);
    float bx = float(Margin) + PanelX;
    const float by = float(Margin) + PanelY;
    for (size_t i = 0; i < Buttons.entries(); ++i) {
        PanelButtonC* b = Buttons[i];
        const float w = float(b->GetWidth()) * Scale;
        const float h = float(b->GetHeight()) * Scale;
        const float oy = (PanelHeight - 2.0f * float(Margin) - h) / 2.0f;
        b->SetHovered(bx <= px && px <= bx + w && by + oy <= py && py <= by + oy + h);
        bx += float(b->GetWidth() + Spacing) * Scale;
    }
    SetHovered(PanelX <= px && px <= PanelX + PanelWidth && PanelY <= py && py <= PanelY + PanelHeight);
}

int PanelC::LastHoveredIndex() const
{
    int index = -1;
    for (size_t i = 0; i < Buttons.entries(); ++i)
        if (Buttons[i]->IsHovered())
            index = int(i);
    return index;
}

void PanelC::OnMouseDown(int code, int, int)
{
    if (code != 0)
        return;
    const int index = LastHoveredIndex();
    if (index >= 0)
        PressedIndex = index;
}

void PanelC::OnClick(int code, int x, int y)
{
    OnMouseMove(x, y);
    if (code != 0)
        return;
    const int index = LastHoveredIndex();
    const int pressed = PressedIndex;
    PressedIndex = -1;
    if (index >= 0 && index == pressed && Commands != nullptr)
        Commands->OnPanelCommand(Buttons[size_t(index)]->GetCommandId());
}

void PanelC::SetHovered(bool hovered)
{
    if (hovered == Hovered)
        return;
    Hovered = hovered;
    HoverChanged = true;
    for (size_t i = 0; i < Buttons.entries(); ++i)
        Buttons[i]->LatchBase();
}

bool PanelC::Step(float dt)
{
    if (!Visible)
        return false;
    bool changed = false;
    for (size_t i = 0; i < Buttons.entries(); ++i)
        if (Buttons[i]->Step(dt))
            changed = true;
    if (!HoverChanged)
        return changed;
    if (Hovered) {
        HoverProgress += dt / FadeTime;
        if (HoverProgress >= 1.0f - ProgressEpsilon) {
            HoverProgress = 1.0f;
            HoverChanged = false;
        }
    } else {
        HoverProgress -= dt / FadeTime;
        if (HoverProgress <= ProgressEpsilon) {
            HoverProgress = 0.0f;
            HoverChanged = false;
        }
    }
    ColorCurrent = PanelButtonC::Lerp(ColorOut, ColorIn, HoverProgress);
    return true;
}

void PanelC::DrawAnimated(int w, int h)
{
    if (!Visible || Fade == 0.0f || w <= 0 || h <= 0)
        return;
    const float fourth = 1.0f - (1.0f - ColorCurrent.alpha()) * Fade;
    const feColor c(ColorCurrent.r(), ColorCurrent.g(), ColorCurrent.b(), fourth);
    ViewportWidth = w;
    ViewportHeight = h;

    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, double(w), 0.0, double(h), -150.0, 150.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -80.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    // Layout: the row of buttons, shrunk as a whole when the window is narrower.
    int sumW = 0;
    int maxH = 0;
    for (size_t i = 0; i < Buttons.entries(); ++i) {
        sumW += Buttons[i]->GetWidth() + Spacing;
        if (Buttons[i]->GetHeight() > maxH)
            maxH = Buttons[i]->GetHeight();
    }
    PanelWidth = float(sumW + 2 * Margin - Spacing);
    PanelHeight = float(maxH + 2 * Margin);
    Scale = 1.0f;
    if (float(w) < PanelWidth && PanelWidth > 0.0f) {
        Scale = float(w) / PanelWidth;
        PanelWidth = float(w);
        PanelHeight = PanelHeight * Scale;
    }
    PanelX = alignedPosition(AlignH, OffsetX, w, PanelWidth);
    PanelY = alignedPosition(AlignV, OffsetY, h, PanelHeight);
    LaidOut = true;
    glTranslatef(PanelX, PanelY, 0.0f);

    // The background, with a light edge left and top and a dark edge right and bottom.
    const float alpha = 1.0f - c.alpha();
    glDisable(GL_TEXTURE_2D);
    glColor4f(c.r(), c.g(), c.b(), alpha);
    glBegin(GL_POLYGON);
    glVertex3f(0.0f, 0.0f, Depth);
    glVertex3f(0.0f, PanelHeight, Depth);
    glVertex3f(PanelWidth, PanelHeight, Depth);
    glVertex3f(PanelWidth, 0.0f, Depth);
    glEnd();
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glLineWidth(2.0f);
    glColor4f(c.r() * 1.66f, c.g() * 1.66f, c.b() * 1.66f, alpha);
    glBegin(GL_LINE_STRIP);
    glVertex3f(0.0f, 0.0f, Depth);
    glVertex3f(0.0f, PanelHeight, Depth);
    glVertex3f(PanelWidth, PanelHeight, Depth);
    glEnd();
    glColor4f(c.r() * 0.66f, c.g() * 0.66f, c.b() * 0.66f, alpha);
    glBegin(GL_LINE_STRIP);
    glVertex3f(PanelWidth, PanelHeight, Depth);
    glVertex3f(PanelWidth, 0.0f, Depth);
    glVertex3f(0.0f, 0.0f, Depth);
    glEnd();
    glDisable(GL_LINE_SMOOTH);

    glTranslatef(float(Margin), float(Margin), 0.0f);
    for (size_t i = 0; i < Buttons.entries(); ++i) {
        const PanelButtonC* b = Buttons[i];
        glPushMatrix();
        if (b->GetHeight() < maxH)
            glTranslatef(0.0f, float(maxH - b->GetHeight()) * Scale / 2.0f, 0.0f);
        b->Draw(Scale);
        glPopMatrix();
        glTranslatef(float(b->GetWidth() + Spacing) * Scale, 0.0f, 0.0f);
    }

    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
}
