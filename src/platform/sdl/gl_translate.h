// Direct3D 8 fixed-function state expressed as OpenGL 2.1 state. Pure functions, so that
// every mapping can be checked without a GL context.
#pragma once

#include <SDL_opengl.h>

#include <array>
#include <cstdint>

#include "platform/d3d8.h"

namespace plat::sdl {

// Texture stage operations and arguments of Direct3D 8 (D3DTEXTUREOP, D3DTA_*).
enum D3DTEXTUREOP : uint32_t {
  D3DTOP_DISABLE = 1,
  D3DTOP_SELECTARG1 = 2,
  D3DTOP_SELECTARG2 = 3,
  D3DTOP_MODULATE = 4,
  D3DTOP_MODULATE2X = 5,
  D3DTOP_MODULATE4X = 6,
  D3DTOP_ADD = 7,
};
constexpr DWORD D3DTA_DIFFUSE = 0;
constexpr DWORD D3DTA_CURRENT = 1;
constexpr DWORD D3DTA_TEXTURE = 2;

// D3DFILLMODE and D3DSHADEMODE values.
constexpr DWORD D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3;
constexpr DWORD D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2;

// A column-major OpenGL matrix.
using GlMatrix = std::array<float, 16>;

// A D3D matrix (row vectors, row-major) has the same sixteen floats as the OpenGL matrix
// (column vectors, column-major) that does the same thing.
GlMatrix toGl(const D3DMATRIX& m);

// D3D clips depth to 0 … w, OpenGL to −w … w: the projection followed by z' = 2z − w.
GlMatrix projectionForGl(const D3DMATRIX& projection);

// Pre-transformed vertices are pixels of the back buffer, y down, depth sz in 0 … 1.
// D3D puts pixel centres on integers, OpenGL on half-integers. No half pixel is added: a
// rectangle with whole-pixel edges covers the same pixels either way, and this way its
// pixel centres sample texel centres, as D3D's default point sampling picks them.
GlMatrix screenProjection(int width, int height);

struct CullState {
  bool enabled;
  GLenum face;  // with glFrontFace(GL_CCW)
};
// D3DCULL_CCW discards triangles that appear counter-clockwise on screen. The picture
// is the same in both APIs, so those are OpenGL's front faces.
CullState cullStateFor(DWORD d3dCull);

GLenum compareFuncFor(DWORD d3dCmp);
GLenum blendFactorFor(DWORD d3dBlend);
GLenum primitiveFor(D3DPRIMITIVETYPE type);
// Vertices (or indices) that `primitiveCount` primitives of `type` use.
uint32_t vertexCountFor(D3DPRIMITIVETYPE type, uint32_t primitiveCount);
GLenum wrapModeFor(DWORD d3dAddress);
GLenum polygonModeFor(DWORD d3dFill);

// A packed 0xAARRGGBB colour as four floats 0 … 1 (r, g, b, a).
std::array<float, 4> colorFromPacked(D3DCOLOR color);

// One light as OpenGL wants it, to be loaded while GL_MODELVIEW holds the view alone.
struct GlLight {
  std::array<float, 4> ambient, diffuse, specular;
  std::array<float, 4> position;  // w = 0 for a directional light: the direction towards it
  std::array<float, 3> spotDirection;
  float spotCutoff;  // degrees, 180 when no spot
  float spotExponent;
  float constantAttenuation, linearAttenuation, quadraticAttenuation;
};
GlLight translateLight(const D3DLIGHT8& light);

// Material colours pass unclamped (the game uses a 0–255 scale); OpenGL's shininess is
// limited to 0 … 128. `specularOn` false gives a black specular term.
struct GlMaterial {
  std::array<float, 4> ambient, diffuse, specular, emission;
  float shininess;
};
GlMaterial translateMaterial(const D3DMATERIAL8& material, bool specularOn);

// Texture stage 0 as GL_COMBINE settings. D3D's default (colour = texture × diffuse,
// alpha = texture alpha) differs from GL_MODULATE, which multiplies the diffuse alpha in.
struct StageCombine {
  GLenum rgbMode, rgbSource0, rgbSource1;
  GLfloat rgbScale;
  GLenum alphaMode, alphaSource0, alphaSource1;
};
StageCombine stageCombineFor(DWORD colorOp, DWORD colorArg1, DWORD colorArg2, DWORD alphaOp, DWORD alphaArg1,
                             DWORD alphaArg2);

// Rectangles in window pixels, origin bottom-left as OpenGL counts them.
struct PixelRect {
  int x, y, width, height;
  bool operator==(const PixelRect&) const = default;
};
// The largest rectangle of the back buffer's aspect centred in the drawable (black bars).
PixelRect letterbox(int drawableWidth, int drawableHeight, int backWidth, int backHeight);
// A rectangle of back-buffer pixels (y down) as a scissor box inside `viewport`, cut to it.
PixelRect scissorFor(const RECT& rect, const PixelRect& viewport, int backWidth, int backHeight);

}  // namespace plat::sdl

namespace plat::sdl {

// Where the parts of a vertex of flexible format `fvf` lie (byte offsets, −1 when absent).
struct VertexLayout {
  bool pretransformed = false;  // XYZRHW: back-buffer pixels
  int normal = -1, diffuse = -1, specular = -1, texCoord = -1;
  int size = 0;
};
// False for formats the device does not draw (no position, or more than one texture set).
bool layoutFor(DWORD fvf, VertexLayout* layout);

}  // namespace plat::sdl
