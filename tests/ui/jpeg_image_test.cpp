// JPEG decoding through libjpeg: sound pictures decode to their size and
// colours; damaged ones give an empty image and never crash.
#include <gtest/gtest.h>

#include <ostream>

#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "ui/jpeg_image.h"
#include "ui/pictures.h"

namespace {

enum class Colour { Rgb, Grey, Cmyk };

// Encodes a picture split into a red left half and a blue right half (grey:
// dark and light), so the decode can be checked pixel by pixel.
QByteArray encodeJpeg(int width, int height, Colour colour, bool progressive) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = colour == Colour::Grey ? 1 : colour == Colour::Rgb ? 3 : 4;
  cinfo.in_color_space = colour == Colour::Grey ? JCS_GRAYSCALE : colour == Colour::Rgb ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(width * cinfo.input_components));
  for (int x = 0; x < width; ++x) {
    const bool left = x < width / 2;
    unsigned char* px = &row[static_cast<size_t>(x * cinfo.input_components)];
    switch (colour) {
      case Colour::Rgb:
        px[0] = left ? 220 : 20;
        px[1] = 20;
        px[2] = left ? 20 : 220;
        break;
      case Colour::Grey:
        px[0] = left ? 40 : 210;
        break;
      case Colour::Cmyk:
        px[0] = px[1] = px[2] = px[3] = 100;
        break;
    }
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW line = row.data();
    jpeg_write_scanlines(&cinfo, &line, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  QByteArray data(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
  std::free(buffer);
  return data;
}

bool near(int a, int b) { return std::abs(a - b) <= 12; }

struct SoundCase {
  const char* name;
  int width;
  int height;
  Colour colour;
  bool progressive;
};
// Tests are listed by name, not by the bytes of their case.
void PrintTo(const SoundCase& c, std::ostream* os) { *os << c.name; }

class SoundJpeg : public ::testing::TestWithParam<SoundCase> {};

TEST_P(SoundJpeg, DecodesToItsSizeAndColours) {
  const SoundCase& c = GetParam();
  const QImage image = tq::ui::decodeJpeg(encodeJpeg(c.width, c.height, c.colour, c.progressive));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(c.width, c.height));
  const QColor left = image.pixelColor(c.width / 4, c.height / 2);
  const QColor right = image.pixelColor(c.width * 3 / 4, c.height / 2);
  if (c.colour == Colour::Rgb) {
    EXPECT_TRUE(near(left.red(), 220) && near(left.blue(), 20)) << left.name().toStdString();
    EXPECT_TRUE(near(right.red(), 20) && near(right.blue(), 220)) << right.name().toStdString();
  } else {
    EXPECT_TRUE(near(left.red(), 40) && left.red() == left.green() && left.green() == left.blue());
    EXPECT_TRUE(near(right.red(), 210) && right.red() == right.green() && right.green() == right.blue());
  }
}

INSTANTIATE_TEST_SUITE_P(Decode, SoundJpeg,
                         ::testing::Values(SoundCase{"Colour", 64, 32, Colour::Rgb, false},
                                           SoundCase{"OddSize", 37, 19, Colour::Rgb, false},
                                           SoundCase{"Progressive", 80, 48, Colour::Rgb, true},
                                           SoundCase{"Grey", 48, 16, Colour::Grey, false},
                                           SoundCase{"OnePixelHigh", 40, 1, Colour::Rgb, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DamagedJpeg, TruncatedAtAnyPointGivesEmptyImage) {
  for (const bool progressive : {false, true}) {
    const QByteArray whole = encodeJpeg(96, 64, Colour::Rgb, progressive);
    ASSERT_FALSE(tq::ui::decodeJpeg(whole).isNull());
    const qsizetype size = whole.size();
    for (const qsizetype keep : {qsizetype{1}, qsizetype{2}, qsizetype{3}, qsizetype{20}, qsizetype{200}, size / 3,
                                 size / 2, size - 100, size - 2, size - 1}) {
      EXPECT_TRUE(tq::ui::decodeJpeg(whole.left(keep)).isNull())
          << "kept " << keep << " of " << size << (progressive ? " (progressive)" : "");
    }
  }
}

TEST(DamagedJpeg, GarbageGivesEmptyImage) {
  QByteArray noise;
  for (int i = 0; i < 4096; ++i) noise.append(static_cast<char>((i * 7919 + 13) & 0xFF));
  QByteArray corruptScan = encodeJpeg(64, 64, Colour::Rgb, false);
  // Keep the headers, overwrite the middle of the entropy-coded data with markers.
  for (qsizetype i = corruptScan.size() / 2; i < corruptScan.size() / 2 + 64; i += 2) {
    corruptScan[i] = static_cast<char>(0xFF);
    corruptScan[i + 1] = static_cast<char>(0xD9);
  }
  const std::vector<std::pair<const char*, QByteArray>> inputs = {
      {"empty", QByteArray()},
      {"start marker only", QByteArray("\xFF\xD8", 2)},
      {"start and end markers", QByteArray("\xFF\xD8\xFF\xD9", 4)},
      {"noise", noise},
      {"noise after a start marker", QByteArray("\xFF\xD8", 2) + noise},
      {"PNG signature", QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)},
      {"corrupt scan", corruptScan},
      {"CMYK, which is not converted", encodeJpeg(16, 16, Colour::Cmyk, false)},
  };
  for (const auto& [name, data] : inputs) {
    EXPECT_TRUE(tq::ui::decodeJpeg(data).isNull()) << name;
  }
}

TEST(WindowPictures, BothStoredPicturesDecode) {
  QLabel logo;
  QLabel product;
  tq::ui::loadWindowPictures(&logo, &product);
  EXPECT_FALSE(logo.pixmap().isNull());
  EXPECT_FALSE(product.pixmap().isNull());
  // The logo is drawn at twice the size of its box (sharp on high-DPI screens).
  EXPECT_EQ(logo.pixmap().size(), QSize(226, 98));
  EXPECT_GT(product.pixmap().width(), 800);

  QFile stored(QString::fromLatin1(tq::ui::kProductResource));
  ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
  EXPECT_EQ(tq::ui::decodeJpeg(stored.readAll()).size(), product.pixmap().size());
}

TEST(WindowPictures, MissingBoxesAreSkipped) {
  QLabel logo;
  tq::ui::loadWindowPictures(&logo, nullptr);
  tq::ui::loadWindowPictures(nullptr, nullptr);
  EXPECT_FALSE(logo.pixmap().isNull());
}

}  // namespace
