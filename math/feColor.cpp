// feColor: channel setters that keep HLS in step, RGB/HLS conversion and hexadecimal text.
#include "math/feColor.h"
#include "platform/HexDigit.h"

#include <cmath>
#include <string>

namespace {

// (int)(channel * 255) truncated toward zero, then a truncating remainder of 256 (a negative value
// keeps its sign). A channel whose product is not a representable int (NaN, huge) gives 0 rather
// than an undefined conversion.
int channelByte(float channel) {
    const float scaled = channel * 255.0f;
    if (!(scaled > -2147483520.0f && scaled < 2147483520.0f)) return 0;
    return static_cast<int>(scaled) % 256;
}


char hexChar(int nibble) { return static_cast<char>(nibble < 10 ? '0' + nibble : 'A' + nibble - 10); }

void appendByte(std::string& out, int v) {
    const int byte = v & 0xFF;
    out += hexChar(byte >> 4);
    out += hexChar(byte & 0x0F);
}

float hlsValue(float lo, float hi, float hue) {
    if (hue > 360.0f) hue -= 360.0f;
    if (hue < 0.0f) hue += 360.0f;
    if (hue < 60.0f) return lo + (hi - lo) * hue / 60.0f;
    if (hue < 180.0f) return hi;
    if (hue < 240.0f) return lo + (hi - lo) * (240.0f - hue) / 60.0f;
    return lo;
}

}  // namespace

feColor::feColor(float r, float g, float b, float a) { set(r, g, b, a); }

void feColor::set(float r, float g, float b, float a) {
    r_ = r;
    g_ = g;
    b_ = b;
    a_ = a;
    computeHLS();
}

void feColor::setAlpha(float a) {
    a_ = a;
    computeHLS();
}

void feColor::setHLS(float h, float l, float s) {
    h_ = h;
    l_ = l;
    s_ = s;
    computeRGB();
}

int feColor::redByte() const { return channelByte(r_); }
int feColor::greenByte() const { return channelByte(g_); }
int feColor::blueByte() const { return channelByte(b_); }
int feColor::alphaByte() const { return channelByte(a_); }

void feColor::setRedByte(int v) {
    r_ = static_cast<float>(v) / 255.0f;
    computeHLS();
}

void feColor::setGreenByte(int v) {
    g_ = static_cast<float>(v) / 255.0f;
    computeHLS();
}

void feColor::setBlueByte(int v) {
    b_ = static_cast<float>(v) / 255.0f;
    computeHLS();
}

void feColor::setAlphaByte(int v) {
    a_ = static_cast<float>(v) / 255.0f;
    computeHLS();
}

void feColor::computeHLS() {
    float max = r_, min = r_;
    if (g_ > max) max = g_;
    if (b_ > max) max = b_;
    if (g_ < min) min = g_;
    if (b_ < min) min = b_;
    l_ = (max + min) / 2.0f;
    if (max == min) {
        s_ = 0.0f;
        h_ = 0.0f;
        return;
    }
    const float delta = max - min;
    s_ = l_ <= 0.5f ? delta / (max + min) : delta / (2.0f - max - min);
    const float rc = (max - r_) / delta;
    const float gc = (max - g_) / delta;
    const float bc = (max - b_) / delta;
    // Red first: a tie between red and another channel takes the red formula.
    if (r_ == max)
        h_ = bc - gc;
    else if (g_ == max)
        h_ = 2.0f + rc - bc;
    else
        h_ = 4.0f + gc - rc;
    h_ *= 60.0f;
    if (h_ < 0.0f) h_ += 360.0f;
}

void feColor::computeRGB() {
    const float m2 = l_ <= 0.5f ? l_ * (1.0f + s_) : l_ + s_ - l_ * s_;
    const float m1 = 2.0f * l_ - m2;
    if (s_ == 0.0f) {
        r_ = g_ = b_ = l_;
        return;
    }
    r_ = hlsValue(m1, m2, h_ + 120.0f);
    g_ = hlsValue(m1, m2, h_);
    b_ = hlsValue(m1, m2, h_ - 120.0f);
}

bool feColor::setFromString(const RWCString& text) {
    std::string t(text.data(), text.length());
    for (char& c : t)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');

    size_t pos = 0;
    size_t len = t.size();
    if (len == 8 || (len == 9 && t[0] == '#')) {
        pos = len - 8;
        const int hi = platform::hexDigitValue(t[pos]);
        const int lo = platform::hexDigitValue(t[pos + 1]);
        if (hi < 0 || lo < 0) return false;
        setAlphaByte(16 * hi + lo);
        pos += 2;
        len = 6;  // the remaining six characters are the colour
    } else if (len == 7 && t[0] == '#') {
        pos = 1;
        len = 6;
    }
    if (len != 6) return false;

    int digits[6];
    for (int i = 0; i < 6; ++i) {
        digits[i] = platform::hexDigitValue(t[pos + i]);
        if (digits[i] < 0) return false;
    }
    setRedByte(16 * digits[0] + digits[1]);
    setGreenByte(16 * digits[2] + digits[3]);
    setBlueByte(16 * digits[4] + digits[5]);
    return true;
}

RWCString feColor::toHexRGB() const {
    std::string out;
    appendByte(out, redByte());
    appendByte(out, greenByte());
    appendByte(out, blueByte());
    return RWCString(out.c_str());
}

RWCString feColor::toHexARGB() const {
    std::string out;
    appendByte(out, alphaByte());
    appendByte(out, redByte());
    appendByte(out, greenByte());
    appendByte(out, blueByte());
    return RWCString(out.c_str());
}

bool feColor::operator==(const feColor& o) const {
    const float diff = std::fabs(r_ - o.r_) + std::fabs(g_ - o.g_) + std::fabs(b_ - o.b_) + std::fabs(a_ - o.a_);
    return diff < 0.0004f;
}
