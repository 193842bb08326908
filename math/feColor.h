// feColor: an RGBA colour with its hue, lightness and saturation kept in step; hex text in and out.
#pragma once

#include "foundation/RWCString.h"

class feColor {
public:
    // All seven values 0: black, transparent, and a consistent (grey) HLS triple.
    feColor() = default;
    feColor(float r, float g, float b, float a);
    // All seven values stored as given; hue, lightness and saturation are not recomputed.
    feColor(float r, float g, float b, float a, float h, float l, float s)
        : r_(r), g_(g), b_(b), a_(a), h_(h), l_(l), s_(s)
    {
    }

    void set(float r, float g, float b, float a);
    void setAlpha(float a);

    float r() const { return r_; }
    float g() const { return g_; }
    float b() const { return b_; }
    float alpha() const { return a_; }

    // Hue in degrees (0 <= h < 360, 0 for greys), lightness and saturation in 0..1.
    float hue() const { return h_; }
    float lightness() const { return l_; }
    float saturation() const { return s_; }
    // Stores the HLS triple and derives red, green and blue from it; alpha stays.
    void setHLS(float h, float l, float s);

    // (int)(channel * 255) truncated, then a truncating remainder of 256.
    int redByte() const;
    int greenByte() const;
    int blueByte() const;
    int alphaByte() const;
    // channel = v / 255, then HLS recomputed.
    void setRedByte(int v);
    void setGreenByte(int v);
    void setBlueByte(int v);
    void setAlphaByte(int v);

    void computeHLS();  // h, l, s from r, g, b
    void computeRGB();  // r, g, b from h, l, s; alpha stays

    // "RRGGBB", "#RRGGBB", "AARRGGBB" or "#AARRGGBB", either case. False on any other text; in the
    // alpha form a bad colour digit is found only after alpha has been stored.
    bool setFromString(const RWCString& text);
    RWCString toHexRGB() const;   // "RRGGBB", upper case, no '#'
    RWCString toHexARGB() const;  // "AARRGGBB", upper case, no '#'

    // Equal when the summed absolute differences of r, g, b and a (single precision) are below 0.0004;
    // HLS is not compared.
    bool operator==(const feColor& o) const;

private:
    float r_ = 0.0f;
    float g_ = 0.0f;
    float b_ = 0.0f;
    float a_ = 0.0f;
    float h_ = 0.0f;
    float l_ = 0.0f;
    float s_ = 0.0f;
};
