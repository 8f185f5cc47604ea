// Light records and the text rectangle on the recording device.
#include <gtest/gtest.h>

#include "gfx/cLights.h"
#include "gfx/cText.h"
#include "platform/testing/test_platform.h"

namespace {

using plat::testing::Op;

class GfxToolkit : public ::testing::Test {
 protected:
  const plat::D3DLIGHT8& LastLight() const { return device_.Find(Op::SetLight).back()->light; }
  const plat::testing::Call& LastText() const { return *device_.Find(Op::DrawText).back(); }
  std::array<int32_t, 4> Rect(int16_t size, std::string_view s, float x, float y, bool center = false) {
    text_.init("Arial", size, false, device_, d3dx_);
    text_.Render(device_, s, x, y, 0, d3dx_, center);
    const auto& r = LastText().rect;
    return {r.left, r.top, r.right, r.bottom};
  }

  plat::testing::TestPlatform platform_;
  plat::testing::RecordingDevice device_{&platform_};
  plat::D3DX8 d3dx_;
  cText text_;
};

TEST_F(GfxToolkit, LightRecordKeepsWhatACallDoesNotSet) {
  cLights l;
  l.ind = 1;
  l.setSpotLight({0, 5, 0}, 255, 10, 20, 30, 100, 0.5, device_, {0, -1, 0.25f}, 0.4, 0.8);
  l.setPointLight({3, 4, 5}, 0, 255, 255, 255, 40.25, 0.125, device_);
  EXPECT_EQ(device_.Find(Op::SetLight).back()->a, 1u);
  const auto& r = LastLight();
  EXPECT_EQ(r.Type, plat::D3DLIGHT_POINT);
  EXPECT_EQ((std::array{r.Diffuse.r, r.Diffuse.g, r.Diffuse.b, r.Diffuse.a}),
            (std::array{255.0f, 255.0f, 255.0f, 0.0f}));
  EXPECT_EQ((std::array{r.Position.x, r.Range, r.Attenuation1}), (std::array{3.0f, 40.25f, 0.125f}));
  // Left by the spot call: direction, specular, cone.
  EXPECT_EQ((std::array{r.Direction.y, r.Direction.z, r.Specular.r, r.Specular.a, r.Theta, r.Phi}),
            (std::array{-1.0f, 0.25f, 1.0f, 1.0f, 0.4f, 0.8f}));
  // Never set.
  EXPECT_EQ((std::array{r.Ambient.r, r.Ambient.a, r.Falloff, r.Attenuation0, r.Attenuation2}),
            (std::array{0.0f, 0.0f, 0.0f, 0.0f, 0.0f}));

  l.setDirectLight(255, 9, 9, 9, 12, 0.75, {1, 0, 0}, device_);
  EXPECT_EQ(LastLight().Type, plat::D3DLIGHT_DIRECTIONAL);
  EXPECT_EQ((std::array{LastLight().Direction.x, LastLight().Direction.y, LastLight().Position.z}),
            (std::array{1.0f, 0.0f, 5.0f}));

  l.EN(true, device_);
  l.EN(false, device_);
  EXPECT_FALSE(device_.state.lightEnabled[1]);
  EXPECT_EQ(device_.Find(Op::LightEnable).size(), 2u);
}

TEST_F(GfxToolkit, TextRectangleFromSizeAndLength) {
  text_.init("Comic Sans MS", 20, true, device_, d3dx_);
  text_.Render(device_, "0123456789", 100, 50, 0xFF123456, d3dx_, false);
  EXPECT_EQ(LastText().b, plat::DT_LEFT);
  EXPECT_EQ(LastText().color, 0xFF123456u);
  EXPECT_EQ(LastText().font, (plat::FontDesc{"Comic Sans MS", 20, true}));
  EXPECT_EQ(Rect(20, "0123456789", 100, 50, true), (std::array{100, 50, 400, 90}));
  EXPECT_EQ(LastText().b, plat::DT_CENTER);

  // Halves round to even; the bottom first goes through four decimals (10.50004 + 20 is 30.5).
  EXPECT_EQ(Rect(20, "ab", 100.5f, 50.5f), (std::array{100, 50, 160, 90}));
  EXPECT_EQ(Rect(20, "ab", 101.5f, 51.5f), (std::array{102, 52, 162, 92}));
  EXPECT_EQ(Rect(10, "x", 0, 10.50004f)[3], 30);
  EXPECT_EQ(Rect(10, "x", 0, 10.5002f)[3], 31);
  EXPECT_EQ(Rect(10, "Zo\xC3\xAB", 0, 0)[2], 45);  // three characters, four bytes

  // Only the view is drawn, cut to what the font call takes; the rectangle counts it all.
  const std::string line = "HelloWorld";
  text_.Render(device_, std::string_view(line).substr(0, 5), 0, 0, 0, d3dx_, false);
  EXPECT_EQ(LastText().text, "Hello");
  EXPECT_EQ(Rect(10, std::string(300, 'a'), 0, 0)[2], 4500);
  EXPECT_EQ(LastText().text, std::string(255, 'a'));
}

TEST_F(GfxToolkit, FontKeptForTheSameFaceAndRemadeAfterDestroy) {
  text_.init("Lucida Blackletter", 18, false, device_, d3dx_);
  text_.init("Lucida Blackletter", 18, false, device_, d3dx_);
  EXPECT_EQ(device_.fontsCreated, 1u);
  text_.init("Lucida Blackletter", 18, true, device_, d3dx_);
  EXPECT_EQ(device_.fontsCreated, 2u);

  text_.Destroy();
  text_.Render(device_, "not drawn", 0, 0, 0, d3dx_, false);
  EXPECT_TRUE(device_.Find(Op::DrawText).empty());
  text_.Reload(device_, d3dx_);
  text_.Render(device_, "back", 0, 0, 0, d3dx_, false);
  EXPECT_EQ(LastText().font, (plat::FontDesc{"Lucida Blackletter", 18, true}));
  EXPECT_EQ(device_.fontsCreated, 3u);
}

}  // namespace
