#include "str/cd_sector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "base/bytes.h"
#include "str/sector.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes RandomBytes(std::mt19937& rng, size_t n) {
  Bytes b(n);
  for (auto& x : b) x = uint8_t(rng());
  return b;
}

uint32_t Edc(const Bytes& b) {
  return ComputeEdc(b.data(), b.size());
}

// A raw sector with the given subheader (both copies) and random data.
Bytes RawSector(std::mt19937& rng, const Subheader& sub) {
  Bytes raw = RandomBytes(rng, kRawSectorSize);
  sub.Store(&raw[16]);
  sub.Store(&raw[20]);
  return raw;
}

// ---- EDC -----------------------------------------------------------------

// Values worked out from P(x) = x^32+x^31+x^16+x^15+x^4+x^3+x+1. The bits of
// a byte enter least significant first, so the first bit is the message's
// highest term, and bit j of the 32-bit result holds the coefficient of
// x^(31-j) of M(x)·x^32 mod P(x).
//  - {0x80}: the only set bit enters last, M = 1, EDC = x^32 mod P
//    = x^31+x^16+x^15+x^4+x^3+x+1 -> bits 0,15,16,27,28,30,31 = 0xD8018001.
//  - {0x01}: the set bit enters first, M = x^7, EDC = x^39 mod P. Multiplying
//    by x and replacing x^32 by its residue each time:
//      x^33 = x^31+x^17+x^15+x^5+x^3+x^2+1
//      x^34 = x^31+x^18+x^15+x^6+1
//      x^35 = x^31+x^19+x^15+x^7+x^4+x^3+1
//      x^36 = x^31+x^20+x^15+x^8+x^5+x^3+1
//      x^37 = x^31+x^21+x^15+x^9+x^6+x^3+1
//      x^38 = x^31+x^22+x^15+x^10+x^7+x^3+1
//      x^39 = x^31+x^23+x^15+x^11+x^8+x^3+1 -> bits 0,8,16,20,23,28,31 = 0x90910101.
//  - {0x40}: M = x, EDC = x^33 mod P -> bits 0,14,16,26,28,29,31 = 0xB4014001.
//  - "123456789": 0x6EC2EDC4, the published check value of this CRC
//    (CRC-32/CD-ROM-EDC in the CRC catalogue).
TEST(CdEdcTest, HandWorkedValues) {
  for (auto edc : {ComputeEdc, ComputeEdcReference}) {
    const uint8_t b80 = 0x80, b01 = 0x01, b40 = 0x40;
    EXPECT_EQ(edc(&b80, 1), 0xD8018001u);
    EXPECT_EQ(edc(&b01, 1), 0x90910101u);
    EXPECT_EQ(edc(&b40, 1), 0xB4014001u);
    const char* check = "123456789";
    EXPECT_EQ(edc(reinterpret_cast<const uint8_t*>(check), 9), 0x6EC2EDC4u);
    Bytes zeros(2332, 0);
    EXPECT_EQ(edc(zeros.data(), zeros.size()), 0u);
    EXPECT_EQ(edc(nullptr, 0), 0u);
  }
}

// With a zero start and no final xor the EDC is linear; a single bit flipped
// in the last byte changes the EDC by that bit's own EDC whatever the rest is.
TEST(CdEdcTest, LinearAndSingleBitChangesFlipKnownBits) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20; round++) {
    size_t n = 1 + rng() % 2400;
    Bytes a = RandomBytes(rng, n), b = RandomBytes(rng, n), x(n);
    for (size_t i = 0; i < n; i++) x[i] = a[i] ^ b[i];
    EXPECT_EQ(Edc(x), Edc(a) ^ Edc(b));

    Bytes flipped = a;
    flipped.back() ^= 0x80;
    EXPECT_EQ(Edc(flipped) ^ Edc(a), 0xD8018001u);
    flipped = a;
    flipped.back() ^= 0x01;
    EXPECT_EQ(Edc(flipped) ^ Edc(a), 0x90910101u);
  }
}

// The EDC stored little-endian after its data leaves a zero remainder.
TEST(CdEdcTest, CodewordWithStoredEdcHasZeroRemainder) {
  std::mt19937 rng(8);
  Bytes data = RandomBytes(rng, 2056);
  uint32_t edc = Edc(data);
  data.resize(2060);
  PutU32(&data[2056], edc);
  EXPECT_EQ(Edc(data), 0u);
}

TEST(CdEdcTest, FastMatchesReferenceOnRandomInputs) {
  std::mt19937 rng(9);
  Bytes buf = RandomBytes(rng, 4096);
  for (int round = 0; round < 300; round++) {
    size_t offset = rng() % 16, size = rng() % 3000;
    if (round < 20) size = size_t(round);  // every tail length
    EXPECT_EQ(ComputeEdc(&buf[offset], size), ComputeEdcReference(&buf[offset], size))
        << offset << " " << size;
  }
}

// ---- ECC -----------------------------------------------------------------

// Checks every P and Q vector of a raw Form 1 sector against the code's two
// check equations (sum of v_i and sum of alpha^(n-1-i) v_i both zero), the
// 4 header bytes taken as zero. Written apart from the encoder, with the
// vectors addressed byte by byte.
bool ParityEquationsHold(const uint8_t* raw) {
  auto mul = [](uint8_t a, uint8_t b) {
    uint8_t p = 0;
    for (int i = 0; i < 8; i++) {
      if (b & (1 << i)) p ^= a;
      a = uint8_t((a << 1) ^ (a & 0x80 ? 0x1D : 0));
    }
    return p;
  };
  Bytes v(raw + 12, raw + kRawSectorSize);
  std::fill(v.begin(), v.begin() + 4, 0);
  auto holds = [&](const std::vector<int>& at) {
    uint8_t s0 = 0, s1 = 0;
    for (int i : at) {
      s0 ^= v[i];
      s1 = uint8_t(mul(s1, 2) ^ v[i]);  // Horner: sum alpha^(n-1-i) v_i
    }
    return s0 == 0 && s1 == 0;
  };
  for (int col = 0; col < 86; col++) {
    std::vector<int> at;
    for (int row = 0; row < 26; row++) at.push_back(86 * row + col);
    if (!holds(at)) return false;
  }
  for (int diag = 0; diag < 52; diag++) {
    std::vector<int> at;
    int word = diag / 2, plane = diag % 2;
    for (int m = 0; m < 43; m++) at.push_back(2 * ((44 * m + 43 * word) % 1118) + plane);
    at.push_back(2 * (1118 + word) + plane);
    at.push_back(2 * (1144 + word) + plane);
    if (!holds(at)) return false;
  }
  return true;
}

TEST(CdEccTest, ZeroDataGivesZeroEdcAndParity) {
  Bytes raw(kRawSectorSize, 0xEE);
  std::fill(raw.begin() + 16, raw.end(), 0);
  SealRawSector(raw.data(), 0, true);
  EXPECT_TRUE(std::all_of(raw.begin() + 16, raw.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(ParityEquationsHold(raw.data()));
}

// One byte 1 in the last data row of P column c: S0 = 1, S1 = alpha^2, so
// p0 = (1 + alpha^2) / (1 + alpha) = 1 + alpha = 3 and p1 = S0 + p0 = 2;
// check: 1 + 3 + 2 = 0 and alpha^2 + alpha*3 + 2 = 4 ^ 6 ^ 2 = 0.
TEST(CdEccTest, HandWorkedPColumn) {
  const int c = 10;
  Bytes body(kEccBodySize, 0);
  body[86 * 23 + c - 4] = 1;  // the covered area starts with the 4 header bytes
  const uint8_t header[4] = {};
  for (auto ecc : {ComputeEcc, ComputeEccReference}) {
    uint8_t parity[kEccSize];
    ecc(header, body.data(), parity);
    for (int i = 0; i < kEccPSize; i++) {
      uint8_t expected = i == c ? 3 : i == 86 + c ? 2 : 0;
      EXPECT_EQ(parity[i], expected) << i;
    }
  }
}

TEST(CdEccTest, FastMatchesReferenceOnRandomInputs) {
  std::mt19937 rng(10);
  for (int round = 0; round < 40; round++) {
    Bytes header = RandomBytes(rng, 4), body = RandomBytes(rng, kEccBodySize);
    if (round % 4 == 0) std::fill(header.begin(), header.end(), 0);
    if (round == 1) std::fill(body.begin(), body.end(), 0xFF);
    uint8_t fast[kEccSize], reference[kEccSize];
    ComputeEcc(header.data(), body.data(), fast);
    ComputeEccReference(header.data(), body.data(), reference);
    ASSERT_EQ(0, std::memcmp(fast, reference, kEccSize)) << round;
  }
}

// ---- Address header --------------------------------------------------------

TEST(CdMsfTest, EncodesBcdAndRoundTrips) {
  struct Case {
    int32_t lba;
    uint8_t m, s, f;
  } cases[] = {{0, 0x00, 0x00, 0x00},           {150, 0x00, 0x02, 0x00},
               {4499, 0x00, 0x59, 0x74},        {4500, 0x01, 0x00, 0x00},
               {75 * 61 + 9, 0x01, 0x01, 0x09}, {449999, 0x99, 0x59, 0x74}};
  for (const Case& c : cases) {
    uint8_t msf[3];
    EXPECT_TRUE(EncodeMsf(c.lba, msf));
    EXPECT_EQ(msf[0], c.m) << c.lba;
    EXPECT_EQ(msf[1], c.s) << c.lba;
    EXPECT_EQ(msf[2], c.f) << c.lba;
  }
  for (int32_t lba = 0; lba < kMsfAddressCount; lba++) {
    uint8_t msf[3];
    EncodeMsf(lba, msf);
    ASSERT_EQ(DecodeMsf(msf), lba);
  }
}

TEST(CdMsfTest, RejectsInvalidBcdAndOutOfRangeAddresses) {
  const uint8_t bad[][3] = {{0x00, 0x60, 0x00}, {0x00, 0x00, 0x75}, {0x0A, 0x00, 0x00},
                            {0x00, 0x1A, 0x00}, {0xA0, 0x00, 0x00}, {0x00, 0x00, 0x0F}};
  for (const auto& msf : bad) EXPECT_FALSE(DecodeMsf(msf)) << int(msf[0]) << int(msf[1]);
  uint8_t msf[3];
  EXPECT_FALSE(EncodeMsf(kMsfAddressCount, msf));
  EXPECT_EQ(DecodeMsf(msf), 0);  // wraps
  EXPECT_FALSE(EncodeMsf(-1, msf));
  EXPECT_EQ(DecodeMsf(msf), kMsfAddressCount - 1);
}

// ---- Sealing and checking ----------------------------------------------------

TEST(CdSectorTest, Form1SealThenCheck) {
  std::mt19937 rng(11);
  Bytes raw = RawSector(rng, kVideoSubheader);
  SealRawSector(raw.data(), 150, true);
  EXPECT_TRUE(std::equal(kSyncPattern.begin(), kSyncPattern.end(), raw.begin()));
  EXPECT_EQ(raw[12], 0x00);
  EXPECT_EQ(raw[13], 0x02);
  EXPECT_EQ(raw[14], 0x00);
  EXPECT_EQ(raw[15], 2);
  EXPECT_EQ(GetU32(&raw[2072]), ComputeEdcReference(&raw[16], 2056));
  EXPECT_TRUE(ParityEquationsHold(raw.data()));

  SectorCheck c = CheckRawSector(raw.data(), 150);
  EXPECT_TRUE(c.SyncOk && c.HeaderOk && c.EdcOk && c.EccOk);
  EXPECT_EQ(c.Form, 1);
  EXPECT_FALSE(c.Form2EdcZero);
  EXPECT_TRUE(c.Valid());
  EXPECT_FALSE(CheckRawSector(raw.data(), 151).HeaderOk);
  EXPECT_TRUE(CheckRawSector(raw.data()).HeaderOk);
}

TEST(CdSectorTest, Form2SealThenCheckLeavesParityAreaAlone) {
  std::mt19937 rng(12);
  Bytes raw = RawSector(rng, AudioSubheader(1, kCoding378Stereo));
  Bytes before = raw;
  SealRawSector(raw.data(), 4500, true);
  EXPECT_TRUE(std::equal(raw.begin() + 16, raw.begin() + 2348, before.begin() + 16));
  EXPECT_EQ(GetU32(&raw[2348]), ComputeEdcReference(&raw[16], 2332));
  SectorCheck c = CheckRawSector(raw.data(), 4500);
  EXPECT_EQ(c.Form, 2);
  EXPECT_TRUE(c.SyncOk && c.HeaderOk && c.EdcOk && c.EccOk && c.Valid());
}

TEST(CdSectorTest, CorruptionIsDetected) {
  std::mt19937 rng(13);
  Bytes form1 = RawSector(rng, kVideoSubheader);
  SealRawSector(form1.data(), 200, true);
  struct Case {
    int offset;
    bool sync, header, edc, ecc;
  } cases[] = {
      {3, false, true, true, true},      // sync
      {14, true, false, true, true},     // frame 0x50 -> 0x51: 00:02:51, not the expected 200
      {15, true, false, true, true},     // mode byte
      {1000, true, true, false, false},  // user data
      {2073, true, true, false, false},  // EDC field (the ECC covers it)
      {2100, true, true, true, false},   // P parity
      {2351, true, true, true, false},   // last Q byte
  };
  for (const Case& k : cases) {
    Bytes bad = form1;
    bad[k.offset] ^= 0x01;
    SectorCheck c = CheckRawSector(bad.data(), 200);
    EXPECT_EQ(c.SyncOk, k.sync) << k.offset;
    EXPECT_EQ(c.HeaderOk, k.header) << k.offset;
    EXPECT_EQ(c.EdcOk, k.edc) << k.offset;
    EXPECT_EQ(c.EccOk, k.ecc) << k.offset;
    EXPECT_FALSE(c.Valid()) << k.offset;
  }
  // Mode 2 ECC is computed with a zero header: the address is outside it.
  Bytes moved = form1;
  SealRawSector(moved.data(), 201, true);
  EXPECT_TRUE(std::equal(moved.begin() + 16, moved.end(), form1.begin() + 16));

  Bytes form2 = RawSector(rng, AudioSubheader(0, kCoding189Mono));
  SealRawSector(form2.data(), 200, true);
  form2[2000] ^= 0x40;
  SectorCheck c = CheckRawSector(form2.data(), 200);
  EXPECT_FALSE(c.EdcOk);
  EXPECT_FALSE(c.Valid());
}

TEST(CdSectorTest, ZeroForm2EdcIsKeptOnRequestAndAccepted) {
  std::mt19937 rng(14);
  Bytes raw = RawSector(rng, AudioSubheader(1, kCoding378Mono));
  PutU32(&raw[2348], 0);
  Bytes kept = raw;
  SealRawSector(kept.data(), 300, true, Form2Edc::KeepZero);
  EXPECT_EQ(GetU32(&kept[2348]), 0u);
  SectorCheck c = CheckRawSector(kept.data(), 300);
  EXPECT_EQ(c.Form, 2);
  EXPECT_TRUE(c.Form2EdcZero);
  EXPECT_FALSE(c.EdcOk);
  EXPECT_TRUE(c.Valid());

  SealRawSector(raw.data(), 300, true, Form2Edc::Compute);
  EXPECT_EQ(GetU32(&raw[2348]), ComputeEdc(&raw[16], 2332));
  EXPECT_NE(GetU32(&raw[2348]), 0u);

  // A non-zero EDC is brought up to date even when zeros are kept.
  raw[500] ^= 1;
  SealRawSector(raw.data(), 300, true, Form2Edc::KeepZero);
  EXPECT_TRUE(CheckRawSector(raw.data(), 300).EdcOk);
}

TEST(CdSectorTest, SectorImageMatchesRawSectorAndHeaderCanBeLeftAlone) {
  std::mt19937 rng(15);
  for (const Subheader& sub : {kVideoSubheader, AudioSubheader(1, kCoding189Stereo)}) {
    Bytes raw = RawSector(rng, sub);
    Bytes image(raw.begin() + 16, raw.end());
    const uint8_t header[4] = {raw[12], raw[13], raw[14], raw[15]};
    SealRawSector(raw.data(), 0, false);
    EXPECT_TRUE(std::equal(header, header + 4, raw.begin() + 12));
    SealSectorImage(image.data());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), raw.begin() + 16));
    SectorCheck c = CheckSectorImage(image.data());
    EXPECT_TRUE(c.Valid());
    EXPECT_EQ(c.Form, sub.Submode & kSubmodeForm2 ? 2 : 1);
    image[100] ^= 0x10;
    EXPECT_FALSE(CheckSectorImage(image.data()).Valid());
  }
}

// ---- The independent checker script ----------------------------------------

class CdCheckerScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveTool("python3")) GTEST_SKIP() << "python3 not found";
  }
  void TearDown() override {
    if (!path_.empty()) std::filesystem::remove(path_);
  }
  test::RunResult Check(const Bytes& file, std::vector<std::string> extra = {}) {
    if (path_.empty()) path_ = test::TempPath("sectors.bin");
    test::WriteFileBytes(path_, file);
    std::vector<std::string> cmd = {"python3", BELMORA_ECMA130_CHECK, path_};
    cmd.insert(cmd.end(), extra.begin(), extra.end());
    return test::RunCommand(cmd);
  }
  std::string path_;
};

// A RIFF file of sealed sectors at 150.. : video, audio, audio with a zero
// EDC kept, filler (Form 1).
Bytes SealedFile(bool riff) {
  std::mt19937 rng(16);
  Bytes file;
  if (riff) {
    auto h = MakeCdxaHeader();
    file.assign(h.begin(), h.end());
  }
  const Subheader subs[] = {kVideoSubheader, AudioSubheader(1, kCoding378Stereo),
                            AudioSubheader(2, kCoding378Stereo), kFillerSubheader, kVideoSubheader};
  for (int i = 0; i < 5; i++) {
    Bytes raw = RawSector(rng, subs[i]);
    if (i == 2) PutU32(&raw[2348], 0);
    SealRawSector(raw.data(), 150 + i, true, Form2Edc::KeepZero);
    file.insert(file.end(), raw.begin(), raw.end());
  }
  return file;
}

TEST_F(CdCheckerScriptTest, AcceptsSealedSectors) {
  auto r = Check(SealedFile(true), {"--first-lba", "150"});
  EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
  EXPECT_NE(r.Out.find("RIFF header skipped"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("form 1: sectors 3, sync ok 3, header ok 3, edc ok 3, ecc ok 3"),
            std::string::npos)
      << r.Out;
  EXPECT_NE(r.Out.find("form 2: sectors 2, sync ok 2, header ok 2, edc ok 1, edc zero 1"),
            std::string::npos)
      << r.Out;

  // The same sectors as 2336-byte images.
  Bytes raw = SealedFile(false), images;
  for (size_t at = 0; at < raw.size(); at += kRawSectorSize)
    images.insert(images.end(), raw.begin() + at + 16, raw.begin() + at + kRawSectorSize);
  r = Check(images, {"--sector", "2336"});
  EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
}

TEST_F(CdCheckerScriptTest, RejectsCorruptedByte) {
  Bytes file = SealedFile(true);
  file[kCdxaHeaderSize + 4 * kRawSectorSize + 700] ^= 0x08;  // user data of sector 4
  auto r = Check(file);
  EXPECT_EQ(r.Status, 1) << r.Out << r.Err;
  EXPECT_NE(r.Out.find("bad sector 4 (form 1): edc, ecc"), std::string::npos) << r.Out;

  file = SealedFile(true);
  file[kCdxaHeaderSize + 1 * kRawSectorSize + 2300] ^= 0x80;  // audio data of sector 1
  // Every address one off as well.
  r = Check(file, {"--first-lba", "151"});
  EXPECT_EQ(r.Status, 1) << r.Out << r.Err;
  EXPECT_NE(r.Out.find("bad sector 1 (form 2): header, edc"), std::string::npos) << r.Out;
}

}  // namespace
}  // namespace belmora
