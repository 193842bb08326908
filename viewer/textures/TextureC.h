// TextureC: one OpenGL texture object with its uploaded size; deleting it deletes the texture.
#pragma once

#include <GL/gl.h>

class TextureC {
public:
    // Takes over a texture name made elsewhere (the PNG loader's).
    TextureC(GLuint name, int width, int height);
    // Makes a fresh texture name for a texture of that size.
    TextureC(int width, int height);
    ~TextureC();
    TextureC(const TextureC&) = delete;
    TextureC& operator=(const TextureC&) = delete;

    GLuint Name = 0;
    int Width = 0;   // in texels, after scaling to a power of two (plus border)
    int Height = 0;
};
