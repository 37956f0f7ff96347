// Draws the program's icons (a telephone handset) and writes them as .ico files:
//   icongen OUTPUT_DIR  ->  sonavi.ico, tray_not_ready.ico and tray_caller_id.ico, each
//   with the sizes Windows asks for from 100 % to 300 % and for its largest views (16, 20,
//   24, 32, 48 and 256 pixels; the 256-pixel image as PNG, as icons carry it).
// The pictures are built from signed distance fields, so each size is drawn sharply rather
// than scaled. Run it after changing a picture and commit the files it writes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace sonavi::icongen {
namespace {

struct Vec {
  double x, y;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, double k) { return {a.x * k, a.y * k}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double Length(Vec a) { return std::sqrt(Dot(a, a)); }

struct Colour {
  double r, g, b, a;  // 0..1, not premultiplied
};

Colour Rgb(int rgb, double a = 1.0) {
  return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, a};
}

// Distance from p to the segment a-b, minus the stroke's half width.
double Capsule(Vec p, Vec a, Vec b, double radius) {
  const Vec ab = b - a;
  const double t = std::clamp(Dot(p - a, ab) / Dot(ab, ab), 0.0, 1.0);
  return Length(p - (a + ab * t)) - radius;
}

double Circle(Vec p, Vec centre, double radius) { return Length(p - centre) - radius; }

Vec Polar(Vec centre, double radius, double degrees) {
  const double a = degrees * std::numbers::pi / 180.0;
  return {centre.x + radius * std::cos(a), centre.y + radius * std::sin(a)};
}

// A stroke along a circular arc (y grows downwards, angles clockwise from +x).
double Arc(Vec p, Vec centre, double radius, double from, double to, double half_width) {
  double d = 1e9;
  constexpr int kSteps = 24;
  for (int i = 0; i < kSteps; ++i) {
    const Vec a = Polar(centre, radius, from + (to - from) * i / kSteps);
    const Vec b = Polar(centre, radius, from + (to - from) * (i + 1) / kSteps);
    d = std::min(d, Capsule(p, a, b, half_width));
  }
  return d;
}

// The handset in the unit square: a slim curved handle from the earpiece (upper left) to
// the mouthpiece (lower right), both cups turned toward the inside of the curve.
constexpr Vec kCentre{0.84, 0.16};
constexpr double kRadius = 0.60;

double Handset(Vec p) {
  double d = Arc(p, kCentre, kRadius, 100.0, 170.0, 0.06);
  for (double angle : {166.0, 104.0}) {
    d = std::min(d, Capsule(p, Polar(kCentre, kRadius - 0.02, angle),
                            Polar(kCentre, kRadius - 0.20, angle), 0.11));
  }
  return d;
}

// Two short arcs in the hollow of the handset: the line is ringing.
double Waves(Vec p) {
  return std::min(Arc(p, kCentre, 0.10, 115.0, 155.0, 0.04),
                  Arc(p, kCentre, 0.24, 118.0, 152.0, 0.04));
}

constexpr int kSizes[] = {16, 20, 24, 32, 48, 256};

struct Layer {
  std::function<double(Vec)> shape;  // signed distance, < 0 inside
  std::function<Colour(Vec)> colour;
  double grow = 0.0;  // widens the shape by so many pixels (an outline below a fill)
};

class Canvas {
 public:
  explicit Canvas(int size) : size_(size), pixels_(static_cast<std::size_t>(size * size)) {}

  void Paint(const Layer& layer) {
    const double pixel = 1.0 / size_;
    for (int y = 0; y < size_; ++y) {
      for (int x = 0; x < size_; ++x) {
        const Vec p{(x + 0.5) * pixel, (y + 0.5) * pixel};
        const double d = (layer.shape(p) - layer.grow * pixel) / pixel;
        const double coverage = std::clamp(0.5 - d, 0.0, 1.0);
        if (coverage <= 0.0) continue;
        Colour top = layer.colour(p);
        top.a *= coverage;
        Colour& dst = pixels_[static_cast<std::size_t>(y * size_ + x)];
        const double a = top.a + dst.a * (1.0 - top.a);
        if (a <= 0.0) continue;
        auto mix = [&](double s, double d0) { return (s * top.a + d0 * dst.a * (1 - top.a)) / a; };
        dst = {mix(top.r, dst.r), mix(top.g, dst.g), mix(top.b, dst.b), a};
      }
    }
  }

  int size() const { return size_; }
  const Colour& at(int x, int y) const { return pixels_[static_cast<std::size_t>(y * size_ + x)]; }

 private:
  int size_;
  std::vector<Colour> pixels_;
};

void Put16(std::string& out, unsigned v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (const char c : bytes) {
    crc ^= static_cast<unsigned char>(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

void PutBig32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

// Deflate's bits, least significant first; its Huffman codes, most significant first.
class BitWriter {
 public:
  void Bits(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
      byte_ |= ((value >> i) & 1) << used_;
      if (++used_ == 8) Flush();
    }
  }
  void Code(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Bits((code >> i) & 1, 1);
  }
  std::string Finish() {
    if (used_ > 0) Flush();
    return out_;
  }

 private:
  void Flush() {
    out_ += static_cast<char>(byte_);
    byte_ = 0;
    used_ = 0;
  }
  std::string out_;
  unsigned byte_ = 0;
  int used_ = 0;
};

// A literal, the end of the block (256) or a length code in deflate's fixed Huffman code.
void FixedCode(BitWriter& bits, int symbol) {
  if (symbol < 144) {
    bits.Code(0x30 + symbol, 8);
  } else if (symbol < 256) {
    bits.Code(0x190 + symbol - 144, 9);
  } else if (symbol < 280) {
    bits.Code(symbol - 256, 7);
  } else {
    bits.Code(0xC0 + symbol - 280, 8);
  }
}

// One fixed-code block; each match is the latest earlier place with the same next three
// bytes, which suits pictures with long runs.
std::string Deflate(const std::string& data) {
  static constexpr int kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                          15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                          67, 83, 99, 115, 131, 163, 195, 227, 258};
  static constexpr int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  static constexpr int kDistanceBase[30] = {
      1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
      193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
  BitWriter bits;
  bits.Bits(1, 1);  // the last block
  bits.Bits(1, 2);  // fixed codes
  std::vector<long> latest(1 << 15, -1);
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(data[i]); };
  for (std::size_t i = 0; i < data.size();) {
    int length = 0;
    std::size_t distance = 0;
    if (i + 3 <= data.size()) {
      const std::size_t hash = ((byte(i) << 10) ^ (byte(i + 1) << 5) ^ byte(i + 2)) & 0x7FFF;
      if (latest[hash] >= 0 && i - static_cast<std::size_t>(latest[hash]) <= 32768) {
        const std::size_t from = static_cast<std::size_t>(latest[hash]);
        while (length < 258 && i + length < data.size() &&
               data[from + length] == data[i + length]) {
          ++length;
        }
        distance = i - from;
      }
      latest[hash] = static_cast<long>(i);
    }
    if (length < 3) {
      FixedCode(bits, byte(i));
      ++i;
      continue;
    }
    int l = 28;
    while (kLengthBase[l] > length) --l;
    FixedCode(bits, 257 + l);
    bits.Bits(static_cast<std::uint32_t>(length - kLengthBase[l]), kLengthExtra[l]);
    int d = 29;
    while (static_cast<std::size_t>(kDistanceBase[d]) > distance) --d;
    bits.Code(static_cast<std::uint32_t>(d), 5);
    bits.Bits(static_cast<std::uint32_t>(distance - kDistanceBase[d]), d < 4 ? 0 : d / 2 - 1);
    i += static_cast<std::size_t>(length);
  }
  FixedCode(bits, 256);
  return bits.Finish();
}

void PutChunk(std::string& out, const std::string& type, const std::string& data) {
  PutBig32(out, static_cast<std::uint32_t>(data.size()));
  out += type + data;
  PutBig32(out, Crc32(type + data));
}

// A PNG picture: 8-bit RGBA rows top-down, unfiltered, in one zlib stream.
std::string Png(const Canvas& canvas) {
  const int n = canvas.size();
  auto byte = [](double v) {
    return static_cast<char>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  std::string rows;
  for (int y = 0; y < n; ++y) {
    rows += '\0';
    for (int x = 0; x < n; ++x) {
      const Colour& c = canvas.at(x, y);
      rows += {byte(c.r), byte(c.g), byte(c.b), byte(c.a)};
    }
  }
  std::uint32_t a = 1, b = 0;  // Adler-32
  for (const char c : rows) {
    a = (a + static_cast<unsigned char>(c)) % 65521;
    b = (b + a) % 65521;
  }
  std::string zlib = "\x78\x01" + Deflate(rows);
  PutBig32(zlib, (b << 16) | a);
  std::string header;
  PutBig32(header, static_cast<std::uint32_t>(n));
  PutBig32(header, static_cast<std::uint32_t>(n));
  header += {8, 6, 0, 0, 0};  // 8 bits per channel, RGBA, deflate, no filter, no interlace
  std::string out = "\x89PNG\r\n\x1a\n";
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", zlib);
  PutChunk(out, "IEND", "");
  return out;
}

// One icon image: BITMAPINFOHEADER, 32-bit BGRA rows bottom-up, then the 1-bit AND mask; at
// 256 pixels a PNG picture instead.
std::string IconImage(const Canvas& canvas) {
  if (canvas.size() >= 256) return Png(canvas);
  const int n = canvas.size();
  std::string out;
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(n));
  Put32(out, static_cast<std::uint32_t>(2 * n));  // colour rows and mask rows
  Put16(out, 1);
  Put16(out, 32);
  for (int i = 0; i < 6; ++i) Put32(out, 0);
  auto byte = [](double v) {
    return static_cast<char>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  for (int y = n - 1; y >= 0; --y) {
    for (int x = 0; x < n; ++x) {
      const Colour& c = canvas.at(x, y);
      out += byte(c.b);
      out += byte(c.g);
      out += byte(c.r);
      out += byte(c.a);
    }
  }
  const int mask_row = ((n + 31) / 32) * 4;
  for (int y = n - 1; y >= 0; --y) {
    std::string row(static_cast<std::size_t>(mask_row), '\0');
    for (int x = 0; x < n; ++x) {
      if (canvas.at(x, y).a < 0.5 / 255)
        row[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
    }
    out += row;
  }
  return out;
}

bool WriteIcon(const std::string& path, const std::vector<Canvas>& images) {
  std::string out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, static_cast<unsigned>(images.size()));
  std::vector<std::string> bodies;
  for (const Canvas& c : images) bodies.push_back(IconImage(c));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int n = images[i].size();
    out += static_cast<char>(n >= 256 ? 0 : n);
    out += static_cast<char>(n >= 256 ? 0 : n);
    out += '\0';  // no palette
    out += '\0';
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, static_cast<std::uint32_t>(bodies[i].size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(bodies[i].size());
  }
  for (const std::string& body : bodies) out += body;
  std::ofstream file(path, std::ios::binary);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  return static_cast<bool>(file);
}

std::function<Colour(Vec)> Flat(Colour c) {
  return [c](Vec) { return c; };
}

// Light at the top, deeper at the bottom.
std::function<Colour(Vec)> Gradient(Colour top, Colour bottom) {
  return [top, bottom](Vec p) {
    const double t = std::clamp(p.y, 0.0, 1.0);
    return Colour{top.r + (bottom.r - top.r) * t, top.g + (bottom.g - top.g) * t,
                  top.b + (bottom.b - top.b) * t, top.a + (bottom.a - top.a) * t};
  };
}

// A shape drawn `scale` times its size, its middle moved to `middle`.
std::function<double(Vec)> Fit(double (*shape)(Vec), double scale, Vec middle) {
  return [=](Vec p) { return shape((p - middle) * (1 / scale) + Vec{0.49, 0.51}) * scale; };
}

// Outlines are drawn so many pixels wide up to `size`, and keep their share of the picture
// in larger ones.
double Outline(double pixels, int design, int size) {
  return pixels * std::max(1.0, static_cast<double>(size) / design);
}

// The program icon: a white ringing handset on a blue disc.
Canvas ProgramIcon(int size) {
  Canvas c(size);
  c.Paint({[](Vec p) {
             return Circle(p, {0.5, 0.5}, 0.49);
           },
           Gradient(Rgb(0x4FA3E8), Rgb(0x1D5FA8))});
  const auto handset = Fit(Handset, 0.82, {0.48, 0.52});
  c.Paint({handset, Flat(Rgb(0x0E3A6E, 0.45)), Outline(0.8, 32, size)});
  c.Paint({handset, Flat(Rgb(0xFFFFFF))});
  if (size >= 32) c.Paint({Fit(Waves, 0.82, {0.48, 0.52}), Flat(Rgb(0xFFFFFF))});
  return c;
}

// Tray picture 0: a grey handset with a small red "no entry" mark.
Canvas NotReadyIcon(int size) {
  Canvas c(size);
  const auto handset = Fit(Handset, 1.2, {0.46, 0.46});
  c.Paint({handset, Flat(Rgb(0x303030, 0.8)), Outline(0.6, 16, size)});
  c.Paint({handset, Gradient(Rgb(0xC8C8C8), Rgb(0x8A8A8A))});
  const Vec mark{0.76, 0.76};
  c.Paint({[mark](Vec p) { return Circle(p, mark, 0.24); }, Flat(Rgb(0xFFFFFF))});
  c.Paint({[mark](Vec p) { return Circle(p, mark, 0.19); }, Flat(Rgb(0xD8302A))});
  c.Paint({[mark](Vec p) {
             return Capsule(p, mark - Vec{0.09, 0}, mark + Vec{0.09, 0}, 0.04);
           },
           Flat(Rgb(0xFFFFFF))});
  return c;
}

// Tray picture 1: a green handset.
Canvas CallerIdIcon(int size) {
  Canvas c(size);
  const auto handset = Fit(Handset, 1.25, {0.47, 0.53});
  c.Paint({handset, Flat(Rgb(0x0F4A26, 0.85)), Outline(0.6, 16, size)});
  c.Paint({handset, Gradient(Rgb(0x6EE08A), Rgb(0x1F9A48))});
  return c;
}

}  // namespace
}  // namespace sonavi::icongen

int main(int argc, char** argv) {
  using namespace sonavi::icongen;
  if (argc != 2) {
    std::fprintf(stderr, "usage: icongen OUTPUT_DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  auto all_sizes = [](Canvas (*draw)(int)) {
    std::vector<Canvas> images;
    for (int size : kSizes) images.push_back(draw(size));
    return images;
  };
  const bool ok = WriteIcon(dir + "/sonavi.ico", all_sizes(ProgramIcon)) &&
                  WriteIcon(dir + "/tray_not_ready.ico", all_sizes(NotReadyIcon)) &&
                  WriteIcon(dir + "/tray_caller_id.ico", all_sizes(CallerIdIcon));
  if (!ok) {
    std::fprintf(stderr, "icongen: cannot write to %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
