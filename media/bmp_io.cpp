#include "media/bmp_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "base/bytes.h"
#include "base/input_file.h"

namespace belmora {

BitmapInfoHeader BitmapInfoHeader::Parse(const uint8_t* p) {
  BitmapInfoHeader h;
  h.Size = GetU32(p);
  h.Width = int32_t(GetU32(p + 4));
  h.Height = int32_t(GetU32(p + 8));
  h.Planes = GetU16(p + 12);
  h.BitCount = GetU16(p + 14);
  h.Compression = GetU32(p + 16);
  h.ImageSize = GetU32(p + 20);
  h.XPelsPerMeter = int32_t(GetU32(p + 24));
  h.YPelsPerMeter = int32_t(GetU32(p + 28));
  h.ColorsUsed = GetU32(p + 32);
  h.ColorsImportant = GetU32(p + 36);
  return h;
}

void BitmapInfoHeader::Store(uint8_t* p) const {
  PutU32(p, Size);
  PutU32(p + 4, uint32_t(Width));
  PutU32(p + 8, uint32_t(Height));
  PutU16(p + 12, Planes);
  PutU16(p + 14, BitCount);
  PutU32(p + 16, Compression);
  PutU32(p + 20, ImageSize);
  PutU32(p + 24, uint32_t(XPelsPerMeter));
  PutU32(p + 28, uint32_t(YPelsPerMeter));
  PutU32(p + 32, ColorsUsed);
  PutU32(p + 36, ColorsImportant);
}

int32_t TBmpIo::Stride() const {
  int64_t bits = int64_t(Header.BitCount) * Header.Width;
  int64_t stride = (bits + 31) / 8 & ~int64_t(3);
  return stride > 0 && stride < INT32_MAX ? int32_t(stride) : 0;
}

namespace {

// Reads exactly `size` bytes; false on a short read.
bool ReadExactly(std::FILE* f, void* to, size_t size) {
  return size == 0 || std::fread(to, 1, size, f) == size;
}

// Where the palette (and bit-field masks) follow the file's info header:
// behind the header its size field names, when that is a known header kind.
long PaletteOffset(uint32_t headerSize) {
  switch (headerSize) {
    case 52:
    case 56:
    case 108:
    case 124:
      return long(14 + headerSize);
    default:
      return 54;
  }
}

}  // namespace

int TBmpIo::ReadBmp(const std::string& path, Host& host) {
  // A regular file no larger than a picture needs: nothing else is opened.
  InputStatus status;
  const int fd = OpenRegularFile(path, O_RDONLY, status);
  struct stat st {};
  if (fd >= 0 && ::fstat(fd, &st) == 0 && int64_t(st.st_size) > kMaxPictureBytes) {
    status.Problem = InputStatus::kTooLarge;
    status.Size = int64_t(st.st_size);
    status.Limit = kMaxPictureBytes;
  }
  std::FILE* f = fd >= 0 && status.Ok() ? ::fdopen(fd, "rb") : nullptr;
  if (!f) {
    if (fd >= 0) ::close(fd);
    ShowInputProblem(host, path, status);
    return -1;
  }
  // Every failure names the file and the reason, in one message.
  auto fail = [&](const std::string& reason) {
    Show(host, msg::kCannotRead, path.c_str(), reason.c_str());
    std::fclose(f);
    return -1;
  };
  const std::string endsEarly = Tr(msg::kFileEndsEarly);
  uint8_t fileHeader[14];
  if (!ReadExactly(f, fileHeader, 14)) return fail(endsEarly);
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return fail(Tr(msg::kNotBmp.Text));
  const uint32_t pixelOffset = GetU32(fileHeader + 10);
  uint8_t info[40];
  if (!ReadExactly(f, info, 40)) return fail(endsEarly);
  Header = BitmapInfoHeader::Parse(info);
  Masks = {};
  // Run-length and other compressed rows would be misread: refused.
  if (Header.Compression != kBiRgb && Header.Compression != kBiBitfields)
    return fail(Tr(msg::kBmpCompressed.Text));
  const uint16_t bits = Header.BitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return fail(FormatMessage(msg::kBmpBitCount, int(bits)));
  if (Header.Width <= 0 || Header.Width > kMaxBmpDimension || Header.Height == 0 ||
      Header.Height < -kMaxBmpDimension || Header.Height > kMaxBmpDimension)
    return fail(FormatMessage(msg::kBmpSize, Header.Width, Header.Height));

  if (Header.ColorsUsed > 256) Header.ColorsUsed = 256;
  if (Header.ColorsUsed == 0 && Header.BitCount <= 8) Header.ColorsUsed = 1u << Header.BitCount;
  const long tableAt = PaletteOffset(Header.Size);
  if (Header.Compression == kBiBitfields) {
    // The masks (red, green, blue) follow the 40 header bytes, behind a
    // short header and inside a longer one alike.
    uint8_t masks[12];
    if (std::fseek(f, 54, SEEK_SET) != 0 || !ReadExactly(f, masks, 12)) return fail(endsEarly);
    Masks = {GetU32(masks), GetU32(masks + 4), GetU32(masks + 8)};
  } else if (Header.BitCount <= 8 && Header.ColorsUsed > 0) {
    uint8_t entries[256 * 4];
    if (std::fseek(f, tableAt, SEEK_SET) != 0 || !ReadExactly(f, entries, Header.ColorsUsed * 4))
      return fail(endsEarly);
    for (uint32_t i = 0; i < Header.ColorsUsed; i++)
      std::memcpy(Palette[i].data(), entries + 4 * i, 4);
  }
  if (std::fseek(f, long(pixelOffset), SEEK_SET) != 0) return fail(endsEarly);
  // Every row the picture has must be in the file, whatever the header's
  // image size says; nothing is allocated for rows the file does not hold.
  const int64_t needed = int64_t(Stride()) * Rows();
  if (needed <= 0 || needed > int64_t(st.st_size) - int64_t(pixelOffset)) return fail(endsEarly);
  if (Header.ImageSize == 0) Header.ImageSize = uint32_t(needed);
  try {
    Pixels.assign(size_t(needed), 0);
  } catch (const std::bad_alloc&) {
    return fail(Tr(msg::kBmpNoMemory.Text));
  }
  if (!ReadExactly(f, Pixels.data(), size_t(needed))) return fail(endsEarly);
  std::fclose(f);
  return 0;
}

int TBmpIo::CopyDibHeader(const uint8_t* dib) {
  Header = BitmapInfoHeader::Parse(dib);
  Masks = {};
  if (Header.BitCount <= 8) {
    if (Header.ColorsUsed == 0 || Header.ColorsUsed > 256)
      Header.ColorsUsed = std::min(256u, 1u << Header.BitCount);
    for (uint32_t i = 0; i < Header.ColorsUsed; i++)
      std::memcpy(Palette[i].data(), dib + 40 + 4 * i, 4);
  } else if (Header.Compression == kBiBitfields) {
    Masks = {GetU32(dib + 40), GetU32(dib + 44), GetU32(dib + 48)};
  }
  if (Header.ImageSize == 0) Header.ImageSize = uint32_t(int64_t(Stride()) * Rows());
  return 0;
}

int TBmpIo::AllocPixels(Host& host) {
  Header.Size = 40;
  Header.Planes = 1;
  Header.Compression = 0;
  Header.ImageSize = uint32_t(int64_t(Stride()) * Rows());
  try {
    Pixels.assign(Header.ImageSize, 0);
  } catch (const std::bad_alloc&) {
    Show(host, msg::kNoMemory);
    return -1;
  }
  return 0;
}

namespace {

// A channel through a bit-field mask, scaled to 8 bits.
inline uint8_t MaskedChannel(uint32_t value, uint32_t mask) {
  if (mask == 0) return 0;
  int low = std::countr_zero(mask);
  int bits = std::popcount(mask >> low);
  uint32_t v = (value & mask) >> low;
  return uint8_t(bits >= 8 ? v >> (bits - 8) : v << (8 - bits));
}

}  // namespace

void TBmpIo::GetPixel(int x, int y, uint8_t out[4]) const {
  const int64_t px = int64_t(x) + XOffset, py = int64_t(y) + YOffset;
  const int32_t rows = Rows(), stride = Stride();
  if (px < 0 || py < 0 || px >= Header.Width || py >= rows) {
    std::memset(out, 0, 4);
    return;
  }
  const int64_t rowIndex = TopDown() ? py : rows - 1 - py;
  const size_t at = size_t(rowIndex * stride + px * Header.BitCount / 8);
  const size_t bytes = std::max<size_t>(1, Header.BitCount / 8);
  if (at + bytes > Pixels.size()) {  // not loaded: black
    std::memset(out, 0, 4);
    return;
  }
  const uint8_t* p = Pixels.data() + at;
  switch (Header.BitCount) {
    case 1:
      std::memcpy(out, Palette[(*p >> (7 - px % 8)) & 1].data(), 4);
      break;
    case 4:
      std::memcpy(out, Palette[px % 2 == 0 ? *p >> 4 : *p & 0x0F].data(), 4);
      break;
    case 8:
      std::memcpy(out, Palette[*p].data(), 4);
      break;
    case 16: {
      uint32_t w = GetU16(p);
      if (Header.Compression == kBiBitfields) {
        out[0] = MaskedChannel(w, Masks[2]);
        out[1] = MaskedChannel(w, Masks[1]);
        out[2] = MaskedChannel(w, Masks[0]);
      } else {
        out[0] = uint8_t((w << 3) & 0xF8);
        out[1] = uint8_t((w >> 2) & 0xF8);
        out[2] = uint8_t((w >> 7) & 0xF8);
      }
      break;
    }
    case 32:
      if (Header.Compression == kBiBitfields) {
        uint32_t w = GetU32(p);
        out[0] = MaskedChannel(w, Masks[2]);
        out[1] = MaskedChannel(w, Masks[1]);
        out[2] = MaskedChannel(w, Masks[0]);
        break;
      }
      [[fallthrough]];
    case 24:
      out[0] = p[0];
      out[1] = p[1];
      out[2] = p[2];
      break;
    default:
      break;
  }
}

void ReadFramePixels(const TBmpIo& bmp, int width, int height, uint8_t* bgr) {
  const bool direct = (bmp.Header.BitCount == 24 ||
                       (bmp.Header.BitCount == 32 && bmp.Header.Compression != kBiBitfields));
  const int32_t rows = bmp.Rows(), stride = bmp.Stride();
  for (int y = 0; y < height; y++) {
    uint8_t* out = bgr + size_t(y) * size_t(width) * 3;
    const int64_t py = int64_t(y) + bmp.YOffset;
    const int64_t rowIndex = bmp.TopDown() ? py : rows - 1 - py;
    const bool rowInside =
        py >= 0 && py < rows && size_t((rowIndex + 1) * stride) <= bmp.Pixels.size();
    if (!direct || !rowInside) {
      for (int x = 0; x < width; x++) {
        uint8_t px[4] = {0, 0, 0, 0};
        if (rowInside) bmp.GetPixel(x, y, px);
        std::memcpy(out + 3 * x, px, 3);
      }
      continue;
    }
    // 24- and 32-bit rows: the inside part copied, black around it.
    const int step = bmp.Header.BitCount / 8;
    const uint8_t* row = bmp.Pixels.data() + size_t(rowIndex) * size_t(stride);
    for (int x = 0; x < width; x++) {
      const int64_t px = int64_t(x) + bmp.XOffset;
      if (px < 0 || px >= bmp.Header.Width) {
        out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = 0;
      } else {
        const uint8_t* p = row + px * step;
        out[3 * x] = p[0];
        out[3 * x + 1] = p[1];
        out[3 * x + 2] = p[2];
      }
    }
  }
}

}  // namespace belmora
