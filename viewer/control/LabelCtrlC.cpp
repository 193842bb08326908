// LabelCtrlC: colours, font, styles, link clicks and flashing of a dialog's static text.
#include "viewer/control/LabelCtrlC.h"

#include <cstdlib>

#include "platform/sys.h"

LabelCtrlC::LabelCtrlC() { Font = FontDesc; }

void LabelCtrlC::Attach(platform::host::Dialog* dialog, int id)
{
    dialog_ = dialog;
    id_ = id;
    if (platform::host::DialogControl* c = control()) {
        border_ = c->border;
        sunken_ = c->sunken;
        notify_ = c->notify;
    }
    Redraw();
}

platform::host::DialogControl* LabelCtrlC::control() const { return dialog_ != nullptr ? dialog_->find(id_) : nullptr; }

void LabelCtrlC::SetText(const RWCString& text)
{
    if (platform::host::DialogControl* c = control())
        c->text.assign(text.data(), text.length());
    else
        text_ = text;
}

RWCString LabelCtrlC::GetText() const
{
    if (const platform::host::DialogControl* c = control())
        return RWCString(c->text.c_str());
    return text_;
}

void LabelCtrlC::SetTextColor(uint32_t color)
{
    TextColor = color;
    Redraw();
}

void LabelCtrlC::SetBkColor(uint32_t color)
{
    BackBrush = color;
    // No redraw of its own: the dialog asks for the brush each time it draws the label.
    if (platform::host::DialogControl* c = control())
        c->backColor = OnCtlColor().brushColor;
}

void LabelCtrlC::SetBorder(bool on)
{
    border_ = on;
    Redraw();
}

void LabelCtrlC::SetSunken(bool on)
{
    sunken_ = on;
    Redraw();
}

void LabelCtrlC::SetLink(bool on)
{
    notify_ = on;
    Redraw();
}

void LabelCtrlC::SetLinkCursor(std::optional<platform::host::Cursor> cursor)
{
    LinkCursor = cursor;
    Redraw();
}

void LabelCtrlC::SetFontBold(bool on)
{
    FontDesc.weight = on ? 700 : 400;
    RemakeFont();
}

void LabelCtrlC::SetFontItalic(bool on)
{
    FontDesc.italic = on;
    RemakeFont();
}

void LabelCtrlC::SetFontUnderline(bool on)
{
    FontDesc.underline = on;
    RemakeFont();
}

void LabelCtrlC::SetFontSize(int size)
{
    FontDesc.height = -size;
    RemakeFont();
}

void LabelCtrlC::SetFontName(const RWCString& name)
{
    FontDesc.faceName = name;
    RemakeFont();
}

void LabelCtrlC::RemakeFont()
{
    Font = FontDesc;
    Redraw();
}

void LabelCtrlC::StopFlash()
{
    if (!Flashing)
        return;
    if (dialog_ != nullptr)
        dialog_->stopTimer(id_, kFlashTimer);
    // A text flash stopped in its dark phase would leave the label empty.
    if (FlashMode == 1)
        SetText(SavedText);
    Flashing = false;
    FlashMode = 0;
    FlashPhase = false;
    Redraw();
}

void LabelCtrlC::FlashText(bool on)
{
    StopFlash();
    if (!on)
        return;
    SavedText = GetText();
    FlashPhase = false;
    Flashing = true;
    FlashMode = 1;
    if (dialog_ != nullptr)
        dialog_->startTimer(id_, kFlashTimer, 500);
}

void LabelCtrlC::FlashBackground(bool on)
{
    StopFlash();
    if (!on)
        return;
    FlashPhase = false;
    Flashing = true;
    FlashMode = 2;
    if (dialog_ != nullptr)
        dialog_->startTimer(id_, kFlashTimer, 500);
    Redraw();
}

LabelPaint LabelCtrlC::OnCtlColor() const
{
    LabelPaint paint;
    paint.textColor = TextColor;
    paint.transparentText = true;
    paint.brushColor = (FlashMode == 2 && !FlashPhase) ? FlashBrush : BackBrush;
    return paint;
}

void LabelCtrlC::OnTimer(unsigned id)
{
    if (id != kFlashTimer || !Flashing)
        return;
    FlashPhase = !FlashPhase;
    if (FlashMode == 1)
        SetText(FlashPhase ? RWCString() : SavedText);
    else if (FlashMode == 2)
        Redraw();
}

void LabelCtrlC::OnLButtonDown()
{
    const RWCString text = GetText();
    // Opening nothing fails quietly, as the system's own open would.
    if (!text.isNull())
        platform::sys::openUrl(std::string(text.data(), text.length()));
}

bool LabelCtrlC::OnSetCursor() const { return LinkCursor.has_value(); }

void LabelCtrlC::Redraw()
{
    platform::host::DialogControl* c = control();
    if (c == nullptr)
        return;
    const LabelPaint paint = OnCtlColor();
    c->textColor = paint.textColor;
    c->backColor = paint.brushColor;
    c->border = border_;
    c->sunken = sunken_;
    c->notify = notify_;
    c->bold = Font.weight >= 700;
    c->italic = Font.italic;
    c->underline = Font.underline;
    c->fontHeight = std::abs(Font.height);
    c->fontName.assign(Font.faceName.data(), Font.faceName.length());
    c->cursor = LinkCursor;
}
