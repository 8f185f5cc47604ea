#include "platform/sdl/gl_translate.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plat::sdl {

namespace {

constexpr float kRadiansToDegrees = 57.29577951308232f;

std::array<float, 4> toArray(const D3DCOLORVALUE& c) { return {c.r, c.g, c.b, c.a}; }

GLenum stageSourceFor(DWORD arg) { return (arg & 0xF) == D3DTA_TEXTURE ? GL_TEXTURE : GL_PRIMARY_COLOR; }

// One channel group (colour or alpha) of stage 0.
void combineFor(DWORD op, DWORD arg1, DWORD arg2, GLenum* mode, GLenum* source0, GLenum* source1,
                GLfloat* scale) {
  *source0 = stageSourceFor(arg1);
  *source1 = stageSourceFor(arg2);
  *scale = 1.0f;
  switch (op) {
    case D3DTOP_DISABLE:
      *mode = GL_REPLACE;
      *source0 = GL_PRIMARY_COLOR;
      break;
    case D3DTOP_SELECTARG1:
      *mode = GL_REPLACE;
      break;
    case D3DTOP_SELECTARG2:
      *mode = GL_REPLACE;
      *source0 = *source1;
      break;
    case D3DTOP_ADD:
      *mode = GL_ADD;
      break;
    case D3DTOP_MODULATE2X:
      *mode = GL_MODULATE;
      *scale = 2.0f;
      break;
    case D3DTOP_MODULATE4X:
      *mode = GL_MODULATE;
      *scale = 4.0f;
      break;
    default:
      *mode = GL_MODULATE;
      break;
  }
}

}  // namespace

GlMatrix toGl(const D3DMATRIX& m) {
  GlMatrix out;
  std::memcpy(out.data(), &m.m[0][0], sizeof(out));
  return out;
}

GlMatrix projectionForGl(const D3DMATRIX& projection) {
  GlMatrix a = toGl(projection);
  for (int column = 0; column < 4; ++column) {
    float* c = &a[column * 4];
    c[2] = 2.0f * c[2] - c[3];
  }
  return a;
}

GlMatrix screenProjection(int width, int height) {
  // glOrtho(0, width, height, 0, 0, -1): y down, sz 0 … 1 to −1 … 1.
  const float l = 0.0f, r = static_cast<float>(width);
  const float t = 0.0f, b = static_cast<float>(height);
  GlMatrix a{};
  a[0] = 2.0f / (r - l);
  a[5] = 2.0f / (t - b);
  a[10] = 2.0f;
  a[12] = -(r + l) / (r - l);
  a[13] = -(t + b) / (t - b);
  a[14] = -1.0f;
  a[15] = 1.0f;
  return a;
}

CullState cullStateFor(DWORD d3dCull) {
  switch (d3dCull) {
    case D3DCULL_CW:
      return {true, GL_BACK};
    case D3DCULL_CCW:
      return {true, GL_FRONT};
    default:
      return {false, GL_BACK};
  }
}

GLenum compareFuncFor(DWORD d3dCmp) {
  switch (d3dCmp) {
    case D3DCMP_NEVER:
      return GL_NEVER;
    case D3DCMP_LESS:
      return GL_LESS;
    case D3DCMP_EQUAL:
      return GL_EQUAL;
    case D3DCMP_GREATER:
      return GL_GREATER;
    case D3DCMP_NOTEQUAL:
      return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
      return GL_GEQUAL;
    case D3DCMP_ALWAYS:
      return GL_ALWAYS;
    default:
      return GL_LEQUAL;
  }
}

GLenum blendFactorFor(DWORD d3dBlend) {
  switch (d3dBlend) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case 7:  // D3DBLEND_DESTALPHA
      return GL_DST_ALPHA;
    case 8:  // D3DBLEND_INVDESTALPHA
      return GL_ONE_MINUS_DST_ALPHA;
    case 9:  // D3DBLEND_DESTCOLOR
      return GL_DST_COLOR;
    case 10:  // D3DBLEND_INVDESTCOLOR
      return GL_ONE_MINUS_DST_COLOR;
    default:
      return GL_ONE;
  }
}

GLenum primitiveFor(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST:
      return GL_POINTS;
    case D3DPT_LINELIST:
      return GL_LINES;
    case D3DPT_LINESTRIP:
      return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
      return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
      return GL_TRIANGLE_FAN;
    default:
      return GL_TRIANGLES;
  }
}

uint32_t vertexCountFor(D3DPRIMITIVETYPE type, uint32_t primitiveCount) {
  if (primitiveCount == 0) return 0;
  switch (type) {
    case D3DPT_POINTLIST:
      return primitiveCount;
    case D3DPT_LINELIST:
      return primitiveCount * 2;
    case D3DPT_LINESTRIP:
      return primitiveCount + 1;
    case D3DPT_TRIANGLELIST:
      return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      return primitiveCount + 2;
  }
  return 0;
}

GLenum wrapModeFor(DWORD d3dAddress) {
  switch (d3dAddress) {
    case D3DTADDRESS_MIRROR:
      return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
      return GL_CLAMP_TO_EDGE;
    default:
      return GL_REPEAT;
  }
}

GLenum polygonModeFor(DWORD d3dFill) {
  switch (d3dFill) {
    case D3DFILL_POINT:
      return GL_POINT;
    case D3DFILL_WIREFRAME:
      return GL_LINE;
    default:
      return GL_FILL;
  }
}

std::array<float, 4> colorFromPacked(D3DCOLOR color) {
  return {static_cast<float>((color >> 16) & 0xFF) / 255.0f, static_cast<float>((color >> 8) & 0xFF) / 255.0f,
          static_cast<float>(color & 0xFF) / 255.0f, static_cast<float>((color >> 24) & 0xFF) / 255.0f};
}

GlLight translateLight(const D3DLIGHT8& light) {
  GlLight out{};
  out.ambient = toArray(light.Ambient);
  out.diffuse = toArray(light.Diffuse);
  out.specular = toArray(light.Specular);
  out.spotDirection = {light.Direction.x, light.Direction.y, light.Direction.z};
  out.spotCutoff = 180.0f;
  out.spotExponent = 0.0f;
  out.constantAttenuation = light.Attenuation0;
  out.linearAttenuation = light.Attenuation1;
  out.quadraticAttenuation = light.Attenuation2;
  if (light.Type == D3DLIGHT_DIRECTIONAL) {
    out.position = {-light.Direction.x, -light.Direction.y, -light.Direction.z, 0.0f};
    out.constantAttenuation = 1.0f;
    out.linearAttenuation = out.quadraticAttenuation = 0.0f;
    return out;
  }
  out.position = {light.Position.x, light.Position.y, light.Position.z, 1.0f};
  if (light.Attenuation0 == 0.0f && light.Attenuation1 == 0.0f && light.Attenuation2 == 0.0f) {
    out.constantAttenuation = 1.0f;  // no attenuation rather than a division by zero
  }
  if (light.Type == D3DLIGHT_SPOT) {
    // Phi is the full outer cone; the falloff between theta and phi is flat when 0.
    out.spotCutoff = std::clamp(light.Phi * 0.5f * kRadiansToDegrees, 0.0f, 90.0f);
    out.spotExponent = std::clamp(light.Falloff, 0.0f, 128.0f);
  }
  return out;
}

GlMaterial translateMaterial(const D3DMATERIAL8& material, bool specularOn) {
  GlMaterial out{};
  out.ambient = toArray(material.Ambient);
  out.diffuse = toArray(material.Diffuse);
  out.specular = specularOn ? toArray(material.Specular) : std::array<float, 4>{0, 0, 0, material.Specular.a};
  out.emission = toArray(material.Emissive);
  out.shininess = std::clamp(material.Power, 0.0f, 128.0f);
  return out;
}

StageCombine stageCombineFor(DWORD colorOp, DWORD colorArg1, DWORD colorArg2, DWORD alphaOp, DWORD alphaArg1,
                             DWORD alphaArg2) {
  StageCombine out{};
  combineFor(colorOp, colorArg1, colorArg2, &out.rgbMode, &out.rgbSource0, &out.rgbSource1, &out.rgbScale);
  GLfloat alphaScale;
  combineFor(alphaOp, alphaArg1, alphaArg2, &out.alphaMode, &out.alphaSource0, &out.alphaSource1,
             &alphaScale);
  return out;
}

PixelRect letterbox(int drawableWidth, int drawableHeight, int backWidth, int backHeight) {
  if (drawableWidth <= 0 || drawableHeight <= 0 || backWidth <= 0 || backHeight <= 0) {
    return {0, 0, std::max(drawableWidth, 0), std::max(drawableHeight, 0)};
  }
  const int64_t dw = drawableWidth, dh = drawableHeight;
  int width, height;
  if (dw * backHeight >= dh * backWidth) {  // wider than the back buffer: bars left and right
    height = drawableHeight;
    width = static_cast<int>((dh * backWidth + backHeight / 2) / backHeight);
  } else {
    width = drawableWidth;
    height = static_cast<int>((dw * backHeight + backWidth / 2) / backWidth);
  }
  return {(drawableWidth - width) / 2, (drawableHeight - height) / 2, width, height};
}

PixelRect scissorFor(const RECT& rect, const PixelRect& viewport, int backWidth, int backHeight) {
  const double sx = static_cast<double>(viewport.width) / backWidth;
  const double sy = static_cast<double>(viewport.height) / backHeight;
  auto clampX = [&](double v) { return std::clamp(static_cast<int>(v), 0, viewport.width); };
  auto clampY = [&](double v) { return std::clamp(static_cast<int>(v), 0, viewport.height); };
  const int left = clampX(std::floor(rect.left * sx));
  const int right = std::max(left, clampX(std::ceil(rect.right * sx)));
  const int top = clampY(std::floor(rect.top * sy));
  const int bottom = std::max(top, clampY(std::ceil(rect.bottom * sy)));
  return {viewport.x + left, viewport.y + viewport.height - bottom, right - left, bottom - top};
}

}  // namespace plat::sdl

namespace plat::sdl {

bool layoutFor(DWORD fvf, VertexLayout* layout) {
  constexpr DWORD kPositionMask = 0x00E;
  constexpr DWORD kTexCountMask = 0xF00;
  constexpr DWORD kKnown = kPositionMask | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | kTexCountMask;
  VertexLayout out;
  const DWORD position = fvf & kPositionMask;
  if (position == D3DFVF_XYZ) {
    out.size = 12;
  } else if (position == D3DFVF_XYZRHW) {
    out.pretransformed = true;
    out.size = 16;
  } else {
    return false;
  }
  const DWORD texSets = (fvf & kTexCountMask) >> 8;
  if ((fvf & ~kKnown) != 0 || texSets > 1 || (out.pretransformed && (fvf & D3DFVF_NORMAL))) return false;
  if (fvf & D3DFVF_NORMAL) {
    out.normal = out.size;
    out.size += 12;
  }
  if (fvf & D3DFVF_DIFFUSE) {
    out.diffuse = out.size;
    out.size += 4;
  }
  if (fvf & D3DFVF_SPECULAR) {
    out.specular = out.size;
    out.size += 4;
  }
  if (texSets == 1) {
    out.texCoord = out.size;
    out.size += 8;
  }
  *layout = out;
  return true;
}

}  // namespace plat::sdl
