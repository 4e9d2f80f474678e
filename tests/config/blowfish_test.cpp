// The cipher against the published Blowfish vectors and against libcrypto.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config/blowfish.h"
#include "config/reference_cipher.h"

namespace {

std::vector<unsigned char> Bytes(const std::string& hex) {
  std::vector<unsigned char> bytes(hex.size() / 2);
  HexToBytes(hex.c_str(), static_cast<int>(hex.size()), bytes.data());
  return bytes;
}

// The published vectors read each half most significant byte first, the configuration values
// least significant first: the same block with each 4-byte half reversed.
std::string SwapHalves(const std::string& hex) {
  std::string swapped;
  for (size_t half = 0; half < hex.size(); half += 8) {
    for (size_t pair = 8; pair > 0; pair -= 2) {
      swapped += hex.substr(half + pair - 2, 2);
    }
  }
  return swapped;
}

std::string Hex(const unsigned char* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (size_t i = 0; i < count; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0F];
  }
  return hex;
}

// Deciphers one block of the published vectors through the value path.
std::string DecipherBlock(const std::string& keyHex, const std::string& cipherHex) {
  std::vector<unsigned char> key = Bytes(keyHex);
  char plain[17];
  DecipherValueWithKey(SwapHalves(cipherHex).c_str(), plain, key.data(), static_cast<int>(key.size()));
  return SwapHalves(Hex(reinterpret_cast<unsigned char*>(plain), 8));
}

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// A selection of Eric Young's ECB vectors.
const Vector kEcbVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
};

TEST(BlowfishTest, PublishedEcbVectorsBothDirections) {
  for (const Vector& vector : kEcbVectors) {
    SCOPED_TRACE(vector.key);
    EXPECT_EQ(DecipherBlock(vector.key, vector.cipher), vector.plain);

    std::vector<unsigned char> key = Bytes(vector.key);
    std::vector<unsigned char> block = Bytes(vector.plain);
    BlowfishState state;
    BlowfishSetKey(state, key.data(), 8);
    uint32_t left = uint32_t{block[0]} << 24 | uint32_t{block[1]} << 16 | uint32_t{block[2]} << 8 | block[3];
    uint32_t right = uint32_t{block[4]} << 24 | uint32_t{block[5]} << 16 | uint32_t{block[6]} << 8 | block[7];
    BlowfishEncryptBlock(state, left, right);
    char cipher[17];
    std::snprintf(cipher, sizeof cipher, "%08X%08X", left, right);
    EXPECT_STREQ(cipher, vector.cipher);
  }
}

// The set_key vectors: plain FEDCBA9876543210 under the first n bytes of one long key; they
// check how a key of any length, seven bytes like ours among them, repeats across the P-array.
TEST(BlowfishTest, PublishedVectorsForKeysOfOneToTwentyFourBytes) {
  const std::string longKey = "F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677";
  struct Case {
    size_t length;
    const char* cipher;
  };
  for (Case c : {Case{1, "F9AD597C49DB005E"}, Case{3, "E9C2B70A1BC65CF3"}, Case{5, "B39E44481BDB1E6E"},
                 Case{7, "8BB77032F960629D"}, Case{8, "E87A244E2CC85E82"}, Case{13, "884F80625060B8B4"},
                 Case{17, "03429E838CE2D14B"}, Case{24, "05044B62FA52D080"}}) {
    SCOPED_TRACE(c.length);
    EXPECT_EQ(DecipherBlock(longKey.substr(0, 2 * c.length), c.cipher), "FEDCBA9876543210");
  }
}

TEST(BlowfishTest, DeciphersWhatLibcryptoEnciphered) {
  const std::string plains[] = {
      "tiger",                              // one block, NUL filler
      "exactly8",                           // one block, no filler
      "db.example.org:1521/ORCL.WORLD",     // several blocks
      std::string(96, 'x'),                 // the longest value a record holds
      "\xC3\xA4\xC3\xB6\xC3\xBC;\x7F\x80",  // bytes above 127, ';'
  };
  for (const std::string& plain : plains) {
    std::string cipher = ReferenceEncipher(plain);
    std::vector<char> out(cipher.size() + 1, '#');
    EXPECT_EQ(DecipherValue(cipher.c_str(), out.data(), "KELDRUM"), 1);
    EXPECT_STREQ(out.data(), plain.c_str());
  }
}

TEST(BlowfishTest, WritesEightBytesPerWholeGroupAndNothingForAPartialOne) {
  std::string cipher = ReferenceEncipher("abcdefgh12345678");  // two blocks, no NUL inside
  struct Case {
    size_t textLength;
    size_t plainLength;
  };
  for (Case c : {Case{0, 0}, Case{15, 0}, Case{16, 8}, Case{20, 8}, Case{31, 8}, Case{32, 16}}) {
    SCOPED_TRACE(c.textLength);
    std::string text = cipher.substr(0, c.textLength);
    char out[40];
    std::memset(out, '#', sizeof out);
    DecipherValue(text.c_str(), out, "KELDRUM");
    EXPECT_EQ(std::string(out), std::string("abcdefgh12345678").substr(0, c.plainLength));
    EXPECT_EQ(out[c.plainLength + 1], '#');  // nothing written past the NUL
  }
}

TEST(BlowfishTest, HexDigitsAreCapitalsOnlyAndOtherCharactersCountTheirCodeMinus48) {
  struct Case {
    const char* text;
    unsigned char byte;
  };
  const Case cases[] = {
      {"00", 0x00}, {"FF", 0xFF}, {"7A", 0x7A}, {"A7", 0xA7},
      {"ab", 0x42},  // 'a' 49, 'b' 50: (49 * 16 + 50) mod 256
      {"G0", 0x70},  // 'G' 23
      {" 1", 0x01},  // ' ' -16: (-256 + 1) mod 256
  };
  for (const Case& c : cases) {
    unsigned char byte = 0x55;
    HexToBytes(c.text, 2, &byte);
    EXPECT_EQ(byte, c.byte) << c.text;
  }
  unsigned char bytes[2] = {0x55, 0x55};
  HexToBytes("1F2", 3, bytes);  // an odd count converts the whole pairs only
  EXPECT_EQ(bytes[0], 0x1F);
  EXPECT_EQ(bytes[1], 0x55);
}

TEST(BlowfishTest, StateHoldsOnlyZeroBytesAfterACall) {
  char out[17];
  DecipherValue(ReferenceEncipher("secret").c_str(), out, "KELDRUM");
  ASSERT_STREQ(out, "secret");
  const unsigned char* state = reinterpret_cast<const unsigned char*>(&DecipherWorkState());
  EXPECT_EQ(std::count(state, state + sizeof(BlowfishState), 0), static_cast<long>(sizeof(BlowfishState)));
}

}  // namespace
