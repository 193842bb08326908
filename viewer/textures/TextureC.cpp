// TextureC: one OpenGL texture object with its uploaded size.
#include "viewer/textures/TextureC.h"

TextureC::TextureC(GLuint name, int width, int height) : Name(name), Width(width), Height(height)
{
}

TextureC::TextureC(int width, int height) : Width(width), Height(height)
{
    glGenTextures(1, &Name);
}

TextureC::~TextureC()
{
    if (Name != 0)
        glDeleteTextures(1, &Name);
}
