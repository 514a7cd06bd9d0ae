// Regenerate the committed icon from the repository root with:
// g++ -std=c++20 -O2 res/icon_generator.cpp -o /tmp/gen && /tmp/gen res/vora.ico

// Every computation below is integer arithmetic: the committed icon is compared byte for byte
// with a fresh run, and floating point could flip an edge sample between compilers or flags.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
  std::int64_t r, g, b;
};

struct Point {
  std::int64_t x, y;
};

struct Image {
  int size = 0;
  Bytes rgba;  // top-down rows, straight (not premultiplied) alpha
};

// Where pixel (x, y) of a square image `size` pixels wide starts in its RGBA bytes.
std::size_t pixel_offset(int size, int x, int y) {
  return (static_cast<std::size_t>(y) * static_cast<std::size_t>(size) +
          static_cast<std::size_t>(x)) *
         4;
}

constexpr std::int64_t kDesign = 1 << 16;  // design units per icon side
constexpr int kSamplesPerAxis = 16;

constexpr Rgb kTealTop{22, 124, 126};
constexpr Rgb kTealBottom{9, 78, 86};
constexpr Rgb kWhite{255, 255, 255};

// The mark, in thousandths of the rounded square: two strokes of equal width whose inner edges
// run parallel to the outer ones and meet above a flat foot.
constexpr std::array<Point, 7> kMarkOutline{{
    {235, 255},
    {395, 255},
    {500, 524},
    {605, 255},
    {765, 255},
    {570, 755},
    {430, 755},
}};

bool InsideRoundedSquare(Point p, std::int64_t lo, std::int64_t hi, std::int64_t radius) {
  if (p.x < lo || p.x >= hi || p.y < lo || p.y >= hi) return false;
  const std::int64_t cx = std::clamp(p.x, lo + radius, hi - radius);
  const std::int64_t cy = std::clamp(p.y, lo + radius, hi - radius);
  const std::int64_t dx = p.x - cx;
  const std::int64_t dy = p.y - cy;
  return dx * dx + dy * dy <= radius * radius;
}

// Even-odd rule; the crossing test is cross-multiplied so that no division can round.
bool InsidePolygon(Point p, std::span<const Point> polygon) {
  bool inside = false;
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const Point a = polygon[j];
    const Point b = polygon[i];
    if ((a.y > p.y) == (b.y > p.y)) continue;
    const std::int64_t lhs = (p.x - a.x) * (b.y - a.y);
    const std::int64_t rhs = (p.y - a.y) * (b.x - a.x);
    if (b.y > a.y ? lhs < rhs : lhs > rhs) inside = !inside;
  }
  return inside;
}

Image Render(int size) {
  // A whole-pixel margin keeps the square's straight edges crisp at every size.
  const std::int64_t margin = (size / 32) * kDesign / size;
  const std::int64_t lo = margin;
  const std::int64_t hi = kDesign - margin;
  const std::int64_t span = hi - lo;
  const std::int64_t radius = span * 22 / 100;

  std::array<Point, kMarkOutline.size()> mark{};
  for (std::size_t i = 0; i < mark.size(); ++i) {
    mark[i] = {lo + kMarkOutline[i].x * span / 1000, lo + kMarkOutline[i].y * span / 1000};
  }

  Image image{size, Bytes(pixel_offset(size, 0, size))};
  const std::int64_t denominator = 2 * std::int64_t{kSamplesPerAxis} * size;
  constexpr std::int64_t kSamples = std::int64_t{kSamplesPerAxis} * kSamplesPerAxis;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      std::int64_t covered = 0;
      Rgb sum{0, 0, 0};
      for (int sy = 0; sy < kSamplesPerAxis; ++sy) {
        for (int sx = 0; sx < kSamplesPerAxis; ++sx) {
          const Point p{(2 * (std::int64_t{x} * kSamplesPerAxis + sx) + 1) * kDesign / denominator,
                        (2 * (std::int64_t{y} * kSamplesPerAxis + sy) + 1) * kDesign / denominator};
          if (!InsideRoundedSquare(p, lo, hi, radius)) continue;
          ++covered;
          Rgb c = kWhite;
          if (!InsidePolygon(p, mark)) {
            const std::int64_t t = std::clamp(p.y - lo, std::int64_t{0}, span);
            c = {kTealTop.r + (kTealBottom.r - kTealTop.r) * t / span,
                 kTealTop.g + (kTealBottom.g - kTealTop.g) * t / span,
                 kTealTop.b + (kTealBottom.b - kTealTop.b) * t / span};
          }
          sum.r += c.r;
          sum.g += c.g;
          sum.b += c.b;
        }
      }
      std::uint8_t* px = &image.rgba[pixel_offset(size, x, y)];
      if (covered == 0) continue;
      px[0] = static_cast<std::uint8_t>((sum.r + covered / 2) / covered);
      px[1] = static_cast<std::uint8_t>((sum.g + covered / 2) / covered);
      px[2] = static_cast<std::uint8_t>((sum.b + covered / 2) / covered);
      px[3] = static_cast<std::uint8_t>((covered * 255 + kSamples / 2) / kSamples);
    }
  }
  return image;
}

void PutLe16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutLe32(Bytes& out, std::uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

void PutBe32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

Bytes EncodeDib(const Image& image) {
  const int size = image.size;
  const std::size_t mask_stride = static_cast<std::size_t>((size + 31) / 32) * 4;
  const std::size_t pixel_bytes = pixel_offset(size, 0, size);
  const std::size_t mask_bytes = mask_stride * static_cast<std::size_t>(size);

  Bytes out;
  PutLe32(out, 40);
  PutLe32(out, static_cast<std::uint32_t>(size));
  PutLe32(out, static_cast<std::uint32_t>(2 * size));  // colour rows, then the AND mask rows
  PutLe16(out, 1);
  PutLe16(out, 32);
  PutLe32(out, 0);  // BI_RGB
  PutLe32(out, static_cast<std::uint32_t>(pixel_bytes + mask_bytes));
  for (int i = 0; i < 4; ++i) PutLe32(out, 0);

  for (int y = size - 1; y >= 0; --y) {
    for (int x = 0; x < size; ++x) {
      const std::uint8_t* px = &image.rgba[pixel_offset(size, x, y)];
      out.insert(out.end(), {px[2], px[1], px[0], px[3]});
    }
  }
  // Renderers that ignore alpha fall back on the mask, so it marks the fully transparent pixels.
  for (int y = size - 1; y >= 0; --y) {
    Bytes row(mask_stride, 0);
    for (int x = 0; x < size; ++x) {
      if (image.rgba[pixel_offset(size, x, y) + 3] == 0) {
        row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

std::uint32_t Crc32(std::span<const std::uint8_t> data) {
  static constexpr std::array<std::uint32_t, 256> kTable = MakeCrcTable();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::uint8_t b : data) c = kTable[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(std::span<const std::uint8_t> data) {
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

class BitWriter {
 public:
  void Put(std::uint32_t bits, int count) {
    for (int i = 0; i < count; ++i) PutBit((bits >> i) & 1);
  }

  // Huffman codes are defined most significant bit first, unlike every other deflate field.
  void PutCode(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) PutBit((code >> i) & 1);
  }

  Bytes Finish() {
    if (used_ > 0) out_.push_back(current_);
    return std::move(out_);
  }

 private:
  void PutBit(std::uint32_t bit) {
    current_ |= static_cast<std::uint8_t>(bit << used_);
    if (++used_ == 8) {
      out_.push_back(current_);
      current_ = 0;
      used_ = 0;
    }
  }

  Bytes out_;
  std::uint8_t current_ = 0;
  int used_ = 0;
};

constexpr std::array<int, 29> kLengthBase{3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                          15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                          67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> kDistanceBase{
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> kDistanceExtra{0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void PutFixedLiteralOrLength(BitWriter& bits, int symbol) {
  if (symbol < 144) {
    bits.PutCode(static_cast<std::uint32_t>(0x30 + symbol), 8);
  } else if (symbol < 256) {
    bits.PutCode(static_cast<std::uint32_t>(0x190 + symbol - 144), 9);
  } else if (symbol < 280) {
    bits.PutCode(static_cast<std::uint32_t>(symbol - 256), 7);
  } else {
    bits.PutCode(static_cast<std::uint32_t>(0xC0 + symbol - 280), 8);
  }
}

// Index of the last table entry whose base does not exceed value; length 258 thus gets its own
// code instead of the ambiguous longest extra-bits form.
template <std::size_t N>
std::size_t BucketOf(const std::array<int, N>& bases, int value) {
  return static_cast<std::size_t>(std::upper_bound(bases.begin(), bases.end(), value) -
                                  bases.begin()) -
         1;
}

void PutMatch(BitWriter& bits, int length, int distance) {
  const std::size_t l = BucketOf(kLengthBase, length);
  PutFixedLiteralOrLength(bits, 257 + static_cast<int>(l));
  bits.Put(static_cast<std::uint32_t>(length - kLengthBase[l]), kLengthExtra[l]);
  const std::size_t d = BucketOf(kDistanceBase, distance);
  bits.PutCode(static_cast<std::uint32_t>(d), 5);
  bits.Put(static_cast<std::uint32_t>(distance - kDistanceBase[d]), kDistanceExtra[d]);
}

struct Match {
  int length = 0;
  int distance = 0;
};

class MatchFinder {
 public:
  explicit MatchFinder(std::span<const std::uint8_t> data)
      : data_(data), head_(kHashSize, -1), previous_(data.size(), -1) {}

  // Positions must be inserted in increasing order so that each chain runs from near to far.
  void Insert(std::size_t pos) {
    if (pos + kMinMatch > data_.size()) return;
    const std::size_t h = Hash(pos);
    previous_[pos] = head_[h];
    head_[h] = static_cast<std::int32_t>(pos);
  }

  Match Longest(std::size_t pos) const {
    Match best;
    if (pos + kMinMatch > data_.size()) return best;
    const int limit = static_cast<int>(std::min<std::size_t>(kMaxMatch, data_.size() - pos));
    int chain = kMaxChain;
    for (std::int32_t candidate = head_[Hash(pos)]; candidate >= 0 && chain-- > 0;
         candidate = previous_[static_cast<std::size_t>(candidate)]) {
      const int distance = static_cast<int>(pos) - candidate;
      if (distance > kWindow) break;
      int length = 0;
      while (length < limit && data_[static_cast<std::size_t>(candidate + length)] ==
                                   data_[pos + static_cast<std::size_t>(length)]) {
        ++length;
      }
      if (length > best.length) {
        best = {length, distance};
        if (length == limit) break;
      }
    }
    if (best.length < kMinMatch) return {};
    return best;
  }

 private:
  static constexpr std::size_t kHashSize = 1 << 15;
  static constexpr int kMinMatch = 3;
  static constexpr int kMaxMatch = 258;
  static constexpr int kWindow = 32768;
  static constexpr int kMaxChain = 256;

  std::size_t Hash(std::size_t pos) const {
    return ((std::size_t{data_[pos]} << 10) ^ (std::size_t{data_[pos + 1]} << 5) ^ data_[pos + 2]) &
           (kHashSize - 1);
  }

  std::span<const std::uint8_t> data_;
  std::vector<std::int32_t> head_;
  std::vector<std::int32_t> previous_;
};

// One final block with the fixed Huffman codes; LZ77 with one step of lazy matching does the
// real work, as the icon is mostly long runs after PNG filtering.
Bytes Deflate(std::span<const std::uint8_t> data) {
  BitWriter bits;
  bits.Put(1, 1);  // BFINAL
  bits.Put(1, 2);  // BTYPE = fixed Huffman
  MatchFinder finder(data);
  std::size_t pos = 0;
  while (pos < data.size()) {
    const Match here = finder.Longest(pos);
    finder.Insert(pos);
    if (here.length == 0) {
      PutFixedLiteralOrLength(bits, data[pos]);
      ++pos;
      continue;
    }
    const Match next = finder.Longest(pos + 1);
    if (next.length > here.length) {
      PutFixedLiteralOrLength(bits, data[pos]);
      ++pos;
      continue;
    }
    PutMatch(bits, here.length, here.distance);
    const std::size_t end = pos + static_cast<std::size_t>(here.length);
    while (++pos < end) finder.Insert(pos);
  }
  PutFixedLiteralOrLength(bits, 256);
  return bits.Finish();
}

Bytes ZlibWrap(std::span<const std::uint8_t> data) {
  Bytes out{0x78, 0x01};  // 32 KiB window; check bits make 0x7801 a multiple of 31
  const Bytes compressed = Deflate(data);
  out.insert(out.end(), compressed.begin(), compressed.end());
  PutBe32(out, Adler32(data));
  return out;
}

std::uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  if (pb <= pc) return static_cast<std::uint8_t>(b);
  return static_cast<std::uint8_t>(c);
}

// Each row takes whichever of the five filters leaves the smallest sum of signed residues, the
// usual cheap predictor of how well a row will compress.
Bytes FilterRows(const Image& image) {
  const std::size_t stride = static_cast<std::size_t>(image.size) * 4;
  const Bytes zero_row(stride, 0);
  Bytes out;
  for (int y = 0; y < image.size; ++y) {
    const std::uint8_t* row = &image.rgba[static_cast<std::size_t>(y) * stride];
    const std::uint8_t* up = y == 0 ? zero_row.data() : row - stride;
    Bytes best;
    std::uint64_t best_cost = UINT64_MAX;
    for (std::uint8_t filter = 0; filter < 5; ++filter) {
      Bytes candidate{filter};
      std::uint64_t cost = 0;
      for (std::size_t i = 0; i < stride; ++i) {
        const int a = i >= 4 ? row[i - 4] : 0;
        const int b = up[i];
        const int c = i >= 4 ? up[i - 4] : 0;
        const int predictor = filter == 0   ? 0
                              : filter == 1 ? a
                              : filter == 2 ? b
                              : filter == 3 ? (a + b) / 2
                                            : Paeth(a, b, c);
        const auto residue = static_cast<std::uint8_t>(row[i] - predictor);
        candidate.push_back(residue);
        cost += static_cast<std::uint64_t>(std::abs(static_cast<std::int8_t>(residue)));
      }
      if (cost < best_cost) {
        best_cost = cost;
        best = std::move(candidate);
      }
    }
    out.insert(out.end(), best.begin(), best.end());
  }
  return out;
}

void PutChunk(Bytes& out, const char (&type)[5], std::span<const std::uint8_t> data) {
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  out.insert(out.end(), typed.begin(), typed.end());
  PutBe32(out, Crc32(typed));
}

Bytes EncodePng(const Image& image) {
  Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  PutBe32(header, static_cast<std::uint32_t>(image.size));
  PutBe32(header, static_cast<std::uint32_t>(image.size));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, deflate, adaptive, no interlace
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", ZlibWrap(FilterRows(image)));
  PutChunk(out, "IEND", {});
  return out;
}

Bytes BuildIco() {
  constexpr std::array<int, 7> kSizes{16, 24, 32, 48, 64, 128, 256};
  std::vector<Bytes> entries;
  for (int size : kSizes) {
    const Image image = Render(size);
    // PNG keeps the 256 px entry small; the smaller ones stay DIBs, which every icon reader takes.
    entries.push_back(size == 256 ? EncodePng(image) : EncodeDib(image));
  }

  Bytes out;
  PutLe16(out, 0);
  PutLe16(out, 1);  // icon, not cursor
  PutLe16(out, static_cast<std::uint32_t>(entries.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto dimension = static_cast<std::uint8_t>(kSizes[i] == 256 ? 0 : kSizes[i]);
    out.insert(out.end(), {dimension, dimension, 0, 0});
    PutLe16(out, 1);   // planes
    PutLe16(out, 32);  // bits per pixel
    PutLe32(out, static_cast<std::uint32_t>(entries[i].size()));
    PutLe32(out, offset);
    offset += static_cast<std::uint32_t>(entries[i].size());
  }
  for (const Bytes& entry : entries) out.insert(out.end(), entry.begin(), entry.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.ico\n", argv[0]);
    return 2;
  }
  const Bytes ico = BuildIco();
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(ico.data(), 1, ico.size(), file) == ico.size();
  if (std::fclose(file) != 0 || !written) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
