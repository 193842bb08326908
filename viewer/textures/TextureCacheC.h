// TextureCacheC: the process-wide texture store; hands out PNG files as textures.
#pragma once

#include <GL/gl.h>

#include "foundation/RWTValOrderedVector.h"
#include "viewer/textures/TextureC.h"

// One per process, made on first use and never destroyed. Loads need a current OpenGL
// context. The textures that LoadPng makes belong to the caller and are not listed; the list
// holds only what is put into it.
class TextureCacheC {
public:
    static TextureCacheC* Instance();

    // A new single-level texture of a file whose name ends in "png" (any case), keeping the
    // file's alpha channel; null when the name or the file is not a readable PNG.
    TextureC* LoadPng(const char* path, int border, GLint wrap, GLint minFilter, GLint magFilter);

    TextureC* Find(GLuint name) const;  // the listed texture with that name, or null
    void Remove(GLuint name);           // unlists and deletes the first listed with that name
    void Clear();                       // deletes every listed texture

    RWTValOrderedVector<TextureC*> Textures;

private:
    TextureCacheC() = default;
    ~TextureCacheC() { Clear(); }
    TextureCacheC(const TextureCacheC&) = delete;
    TextureCacheC& operator=(const TextureCacheC&) = delete;
};

TextureCacheC* getTextureCache();
