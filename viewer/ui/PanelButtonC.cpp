// PanelButtonC: the button's colour transitions, its texture and its drawing.
#include "viewer/ui/PanelButtonC.h"

#include <GL/gl.h>

#include "viewer/textures/TextureCacheC.h"
#include "viewer/ui/PanelC.h"

#ifndef GL_CLAMP
#define GL_CLAMP 0x2900
#endif

PanelButtonC::PanelButtonC(PanelC* panel, int commandId) : CommandId(commandId), Panel(panel) {}

PanelButtonC::~PanelButtonC() { delete Texture; }

void PanelButtonC::SetSize(int width, int height, bool stretch)
{
    Width = width;
    Height = height;
    StretchTexture = stretch;
}

void PanelButtonC::SetColors(feColor out, feColor in1, feColor in2)
{
    ColorOut = out;
    ColorIn1 = in1;
    ColorIn2 = in2;
    ColorCurrent = out;
    ColorBase = out;
    ColorFrom = out;
}

void PanelButtonC::LoadTexture(const char* path)
{
    delete Texture;
    Texture = nullptr;
    if (path != nullptr)
        Texture = TextureCacheC::Instance()->LoadPng(path, 0, GL_CLAMP, GL_LINEAR, GL_LINEAR);
}

void PanelButtonC::SetHovered(bool hovered)
{
    if (hovered == Hovered)
        return;
    Hovered = hovered;
    ColorFrom = ColorCurrent;
    Latched = true;
    Running = true;
}

void PanelButtonC::LatchBase()
{
    if (!Hovered && !Latched)
        ColorBase = ColorCurrent;
}

feColor PanelButtonC::Lerp(const feColor& a, const feColor& b, float t)
{
    return feColor(a.r() + (b.r() - a.r()) * t, a.g() + (b.g() - a.g()) * t, a.b() + (b.b() - a.b()) * t,
                   a.alpha() + (b.alpha() - a.alpha()) * t);
}

bool PanelButtonC::Step(float dt)
{
    if (Panel == nullptr || !Panel->IsVisible())
        return false;
    const bool panelChanging = Panel->HasHoverChanged();
    const bool panelHovered = Panel->IsHovered();
    if (!Running && !panelChanging) {
        Latched = false;
        return false;
    }
    if (!(Hovered && Running)) {
        if (!Latched && panelHovered && panelChanging) {
            ColorCurrent = Lerp(ColorBase, ColorIn1, Panel->GetHoverProgress());
            return true;
        }
        if (!Latched && !panelHovered && panelChanging) {
            ColorCurrent = Lerp(ColorBase, ColorOut, 1.0f - Panel->GetHoverProgress());
            return true;
        }
        if (!Hovered && Running) {
            // The return starts from wherever the highlight had reached.
            Progress -= dt / Panel->GetFadeTime();
            if (Progress <= PanelC::ProgressEpsilon) {
                Progress = 0.0f;
                Running = false;
            }
            ColorCurrent = Lerp(ColorFrom, panelHovered ? ColorIn1 : ColorOut, 1.0f - Progress);
            return true;
        }
        return false;
    }
    Progress += dt / Panel->GetHighlightTime();
    if (Progress >= 1.0f - PanelC::ProgressEpsilon) {
        Progress = 1.0f;
        Running = false;
    }
    ColorCurrent = Lerp(ColorFrom, ColorIn2, Progress);
    return true;
}

void PanelButtonC::Draw(float scale) const
{
    if (Panel == nullptr || !Panel->IsVisible())
        return;
    const feColor& c = ColorCurrent;
    const float alpha = Panel->GetFade() * (1.0f - c.alpha());
    float ts = 1.0f;
    float tt = 1.0f;
    if (Texture != nullptr) {
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 0.0f};
        glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, white);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        glBindTexture(GL_TEXTURE_2D, Texture->Name);
        glEnable(GL_TEXTURE_2D);
        // Unstretched, the button shows its own size in texels from the image's top-left.
        if (!StretchTexture && Texture->Width > 0 && Texture->Height > 0) {
            ts = float(Width) / float(Texture->Width);
            tt = float(Height) / float(Texture->Height);
        }
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    const float z = Panel->GetDepth();
    const float w = float(Width) * scale;
    const float h = float(Height) * scale;
    glColor4f(c.r(), c.g(), c.b(), alpha);
    // Texture row 0 is the image's top row.
    glBegin(GL_POLYGON);
    glTexCoord2f(0.0f, tt);
    glVertex3f(0.0f, 0.0f, z);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(0.0f, h, z);
    glTexCoord2f(ts, 0.0f);
    glVertex3f(w, h, z);
    glTexCoord2f(ts, tt);
    glVertex3f(w, 0.0f, z);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}
