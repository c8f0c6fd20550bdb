#include "ui/widget_resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ui/resources/resource_ids.h"
#include "ui/widgets.h"
#include "ui/widgets_test_util.h"

namespace travik::ui {
namespace {

SIZE IconSize(HICON icon) {
  ICONINFO info = {};
  SIZE size = {0, 0};
  if (!GetIconInfo(icon, &info)) return size;
  BITMAP bitmap = {};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  size = {bitmap.bmWidth, bitmap.bmHeight};
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return size;
}

// The icon drawn over white, as pixels.
std::vector<COLORREF> Render(HICON icon, int size) {
  testing::Canvas canvas(size, size);
  canvas.Fill(RGB(255, 255, 255));
  DrawIconEx(canvas.dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) pixels.push_back(canvas.Pixel(x, y));
  }
  return pixels;
}

int Coloured(const std::vector<COLORREF>& pixels) {
  int n = 0;
  for (COLORREF c : pixels) n += c != RGB(255, 255, 255);
  return n;
}

TEST(WidgetResources, ButtonIconsComeInTheirSizesAndShareByJob) {
  // 按钮1, 5, 7, 8 carry 128/64/48/32/16; 按钮2, 3, 4, 6 carry 48/16 (other sizes are scaled).
  for (int button = 1; button <= 8; ++button) {
    for (int size : {16, 32, 48}) {
      HICON icon = LoadButtonIcon(button, size);
      ASSERT_NE(icon, nullptr) << "button " << button << " size " << size;
      EXPECT_EQ(IconSize(icon).cx, size);
      EXPECT_EQ(IconSize(icon).cy, size);
      // Drawn, not blank, not a filled square.
      const int coloured = Coloured(Render(icon, size));
      EXPECT_GT(coloured, size * size / 5) << "button " << button;
      EXPECT_LT(coloured, size * size) << "button " << button;
      DestroyIcon(icon);
    }
  }
  EXPECT_EQ(LoadButtonIcon(0, 16), nullptr);
  EXPECT_EQ(LoadButtonIcon(9, 16), nullptr);

  auto pixels = [](int button, int size) {
    HICON icon = LoadButtonIcon(button, size);
    std::vector<COLORREF> p = Render(icon, size);
    DestroyIcon(icon);
    return p;
  };
  // The three "添加文件" buttons share one icon, the two "浏览" buttons another; the jobs differ.
  EXPECT_EQ(pixels(1, 32), pixels(7, 32));
  EXPECT_EQ(pixels(1, 32), pixels(8, 32));
  EXPECT_EQ(pixels(3, 16), pixels(6, 16));
  const int distinct[] = {1, 2, 3, 4, 5};
  for (int a : distinct) {
    for (int b : distinct) {
      if (a < b) {
        EXPECT_NE(pixels(a, 16), pixels(b, 16)) << a << " vs " << b;
      }
    }
  }
  HICON big = LoadButtonIcon(5, 128);
  EXPECT_EQ(IconSize(big).cx, 128);
  DestroyIcon(big);
}

TEST(WidgetResources, ProgramIconAtEverySize) {
  for (int size : {16, 24, 32, 48, 64, 128}) {
    HICON icon = LoadTravikIcon(size);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(IconSize(icon).cx, size);
    EXPECT_GT(Coloured(Render(icon, size)), size * size / 2);
    DestroyIcon(icon);
  }
}

std::uint32_t Le32(const char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
std::uint16_t Le16(const char* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

TEST(WidgetResources, CompletionSoundIsAShortWaveAndPlaysWithoutWaiting) {
  std::string_view wave = WidgetResourceBytes(IDR_COMPLETION_SOUND);
  ASSERT_GT(wave.size(), 44u);
  const char* p = wave.data();
  EXPECT_EQ(std::string(p, 4), "RIFF");
  EXPECT_EQ(Le32(p + 4) + 8, wave.size());
  EXPECT_EQ(std::string(p + 8, 4), "WAVE");
  // Walk the chunks for the format and the data.
  size_t at = 12;
  std::uint16_t format = 0, channels = 0, bits = 0;
  std::uint32_t rate = 0, data_bytes = 0;
  while (at + 8 <= wave.size()) {
    const std::string id(p + at, 4);
    const std::uint32_t length = Le32(p + at + 4);
    if (id == "fmt ") {
      format = Le16(p + at + 8);
      channels = Le16(p + at + 10);
      rate = Le32(p + at + 12);
      bits = Le16(p + at + 22);
    } else if (id == "data") {
      data_bytes = length;
    }
    at += 8 + length + (length & 1);
  }
  EXPECT_EQ(at, wave.size());
  EXPECT_EQ(format, 1);  // PCM, which every wave device plays
  EXPECT_GE(channels, 1);
  EXPECT_EQ(bits, 16);
  ASSERT_GT(rate, 0u);
  const double seconds = static_cast<double>(data_bytes) / (rate * channels * bits / 8);
  EXPECT_GT(seconds, 0.3);
  EXPECT_LT(seconds, 1.0);

  // Starts and returns at once, also when started again while playing, and with no device.
  for (int i = 0; i < 2; ++i) {
    const DWORD start = GetTickCount();
    PlayCompletionSound();
    EXPECT_LT(GetTickCount() - start, 250u);
  }
  Sleep(100);
}

TEST(WidgetResources, BannerIsTheJpegOfTheFeedbackWindow) {
  std::string_view jpeg = WidgetResourceBytes(IDR_FEEDBACK_BANNER);
  ASSERT_GT(jpeg.size(), 4u);
  EXPECT_EQ(static_cast<unsigned char>(jpeg[0]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(jpeg[1]), 0xD8);
  EXPECT_EQ(static_cast<unsigned char>(jpeg[jpeg.size() - 2]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(jpeg[jpeg.size() - 1]), 0xD9);
  EXPECT_TRUE(WidgetResourceBytes(9999).empty());
}

}  // namespace
}  // namespace travik::ui
