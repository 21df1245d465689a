// CD-ROM Mode 2 sector framing as ECMA-130 defines it: the sync pattern, the
// BCD address header, the 32-bit error-detection code (EDC) and the P/Q
// Reed-Solomon product code (ECC) of Form 1 sectors. Works on raw 2352-byte
// sectors and on 2336-byte sector images (the raw sector from its subheader on).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace belmora {

inline constexpr int kRawSectorSize = 2352;
inline constexpr std::array<uint8_t, 12> kSyncPattern = {0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
inline constexpr uint8_t kMode2 = 2;

// Addresses: minute, second and frame of 75 sectors a second, over 100 minutes.
inline constexpr int32_t kSectorsPerMinute = 60 * 75;
inline constexpr int32_t kMsfAddressCount = 100 * kSectorsPerMinute;

// Positions inside a 2336-byte sector image; add 16 for a raw sector.
inline constexpr int kForm1EdcOffset = 2056;  // EDC over bytes 0..2055
inline constexpr int kForm1EccOffset = 2060;  // P parity, then Q parity
inline constexpr int kForm2EdcOffset = 2332;  // EDC over bytes 0..2331

// The ECC covers the 4 header bytes and the 2060 bytes after them (subheader,
// copy, user data, EDC); the 172 P bytes are then covered by the Q code.
inline constexpr int kEccBodySize = 2060;
inline constexpr int kEccPSize = 172;  // 86 columns of 24 bytes, 2 parity bytes each
inline constexpr int kEccQSize = 104;  // 52 diagonals of 43 bytes, 2 parity bytes each
inline constexpr int kEccSize = kEccPSize + kEccQSize;

// EDC: CRC with P(x) = x^32+x^31+x^16+x^15+x^4+x^3+x+1, least significant
// bit of each byte first, initial value 0, no final inversion. Sectors store
// the result little-endian. Table driven, eight bytes a step.
uint32_t ComputeEdc(const uint8_t* data, size_t size);
// The same, one bit at a time.
uint32_t ComputeEdcReference(const uint8_t* data, size_t size);

// ECC parity of `header` (4 bytes; zero for Mode 2) followed by `body`
// (kEccBodySize bytes): writes the P then Q parity, kEccSize bytes, to
// `parity`, which must not overlap the inputs.
void ComputeEcc(const uint8_t* header, const uint8_t* body, uint8_t* parity);
// The same, built up from the code's check equations with plain GF(2^8) arithmetic.
void ComputeEccReference(const uint8_t* header, const uint8_t* body, uint8_t* parity);

// Writes the BCD minute, second and frame of absolute sector address `lba`
// (00:00:00 is 0; data on a disc usually starts at 150, 00:02:00). Returns
// false when lba lies outside the 100 minutes; the address written is then
// taken modulo kMsfAddressCount.
bool EncodeMsf(int32_t lba, uint8_t* out);
// The sector address of 3 BCD bytes; nullopt unless they are valid BCD with
// second below 60 and frame below 75.
std::optional<int32_t> DecodeMsf(const uint8_t* msf);

// What to do with a Form 2 EDC field that holds zero ("not computed").
enum class Form2Edc { Compute, KeepZero };

// Completes a raw Mode 2 sector whose subheader and data are in place: writes
// the sync pattern, the address and mode byte when `writeHeader` (otherwise
// bytes 12..15 are left alone), then the EDC and, for Form 1, the ECC. The
// form is taken from the Form 2 bit of the subheader at bytes 16..19.
void SealRawSector(uint8_t* raw2352, int32_t lba, bool writeHeader,
                   Form2Edc form2Edc = Form2Edc::Compute);
// The same for a 2336-byte sector image (subheader at 0); the ECC is computed
// with a zero header, as for any Mode 2 sector.
void SealSectorImage(uint8_t* image2336, Form2Edc form2Edc = Form2Edc::Compute);

struct SectorCheck {
  bool SyncOk = false;
  bool HeaderOk = false;      // mode 2, a valid BCD address, the expected one if given
  bool EdcOk = false;         // stored EDC equals the computed one
  bool EccOk = false;         // Form 1 parity as computed; always true for Form 2
  bool Form2EdcZero = false;  // Form 2 sector whose EDC field is zero
  int Form = 1;

  // Everything in order, a zero Form 2 EDC counting as valid.
  bool Valid() const { return SyncOk && HeaderOk && EccOk && (EdcOk || Form2EdcZero); }
};

SectorCheck CheckRawSector(const uint8_t* raw2352,
                           std::optional<int32_t> expectedLba = std::nullopt);
// A sector image has no sync or header: SyncOk and HeaderOk are true.
SectorCheck CheckSectorImage(const uint8_t* image2336);

}  // namespace belmora
