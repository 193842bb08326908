// SceneState: material, metallic look and depth range shared by the scene's passes.
#include "viewer/render/SceneState.h"

#include <algorithm>
#include <cmath>

void SetSceneMaterial()
{
    static const GLfloat ambient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    static const GLfloat diffuse[4] = {0.7f, 0.7f, 0.7f, 1.0f};
    static const GLfloat specular[4] = {0.7f, 0.7f, 0.7f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 37.0f);
}

void BeginMetallicLook(GLuint texture)
{
    static const GLfloat clear[4] = {1.0f, 1.0f, 1.0f, 0.0f};
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_BLEND);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, clear);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glBindTexture(GL_TEXTURE_2D, texture);
    glEnable(GL_TEXTURE_2D);
}

void DrawEmptyTriangle()
{
    glBegin(GL_TRIANGLES);
    for (int corner = 0; corner < 3; ++corner)
        glVertex3f(0.0f, 0.0f, 0.0f);
    glEnd();
}

double SceneDepthRange(const Point3D& min, const Point3D& max)
{
    double largest = 0.0;
    for (int i = 0; i < 3; ++i)
        largest = std::max({largest, std::fabs(min.component(i)), std::fabs(max.component(i))});
    const double r = largest * 1.2;
    return std::sqrt(3.0 * r * r);
}
