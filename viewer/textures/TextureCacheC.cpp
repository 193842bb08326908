// TextureCacheC: the process-wide texture store.
#include "viewer/textures/TextureCacheC.h"

#include <cstring>
#include <strings.h>

#include "viewer/textures/PngTexture.h"

TextureCacheC* TextureCacheC::Instance()
{
    // Never destroyed: textures may outlive every context by then.
    static TextureCacheC* cache = new TextureCacheC();
    return cache;
}

TextureCacheC* getTextureCache()
{
    return TextureCacheC::Instance();
}

TextureC* TextureCacheC::LoadPng(const char* path, int border, GLint wrap, GLint minFilter, GLint magFilter)
{
    const size_t length = path ? std::strlen(path) : 0;
    if (length < 3 || strcasecmp(path + length - 3, "png") != 0)
        return nullptr;
    PngInfo info;
    int width = 0, height = 0;
    const GLuint name = PngBindFile(path, 0, PNG_ALPHA, &info, wrap, minFilter, magFilter, &width, &height, border);
    if (name == 0)
        return nullptr;
    return new TextureC(name, width, height);
}

TextureC* TextureCacheC::Find(GLuint name) const
{
    for (size_t i = 0; i < Textures.entries(); ++i)
        if (Textures[i] && Textures[i]->Name == name)
            return Textures[i];
    return nullptr;
}

void TextureCacheC::Remove(GLuint name)
{
    for (size_t i = 0; i < Textures.entries(); ++i)
        if (Textures[i] && Textures[i]->Name == name) {
            TextureC* texture = Textures[i];
            Textures.removeAt(i);
            delete texture;
            return;
        }
}

void TextureCacheC::Clear()
{
    for (size_t i = 0; i < Textures.entries(); ++i)
        delete Textures[i];
    Textures.clear();
}
