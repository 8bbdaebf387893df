// SHA-256 as defined in FIPS 180-4. Whole 64-byte blocks are hashed straight
// from the input; only the padded tail is copied.
#include "foundation/sha256.hpp"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace bootsmith::util {
namespace {

using State = std::array<std::uint32_t, 8>;

constexpr std::array<std::uint32_t, 64> round_constants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr State initial_state = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr std::size_t block_size = 64;

inline std::uint32_t load_big_endian(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

inline std::uint32_t big_sigma0(std::uint32_t x) {
    return std::rotr(x, 2) ^ std::rotr(x, 13) ^ std::rotr(x, 22);
}
inline std::uint32_t big_sigma1(std::uint32_t x) {
    return std::rotr(x, 6) ^ std::rotr(x, 11) ^ std::rotr(x, 25);
}
inline std::uint32_t small_sigma0(std::uint32_t x) {
    return std::rotr(x, 7) ^ std::rotr(x, 18) ^ (x >> 3);
}
inline std::uint32_t small_sigma1(std::uint32_t x) {
    return std::rotr(x, 17) ^ std::rotr(x, 19) ^ (x >> 10);
}

// One round; instead of shifting eight variables, the caller rotates the
// roles of the arguments, so only d and h change.
inline void round(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t& d,
                  std::uint32_t e, std::uint32_t f, std::uint32_t g, std::uint32_t& h,
                  std::uint32_t constant_plus_word) {
    std::uint32_t t1 = h + big_sigma1(e) + ((e & f) ^ (~e & g)) + constant_plus_word;
    std::uint32_t t2 = big_sigma0(a) + ((a & b) ^ (a & c) ^ (b & c));
    d += t1;
    h = t1 + t2;
}

// The message schedule kept as a sliding window of 16 words: the first 16
// words are the block itself, each later one replaces the word 16 before it.
template <bool Expand>
inline std::uint32_t word(std::array<std::uint32_t, 16>& w, std::size_t i) {
    if constexpr (Expand) {
        w[i & 15] +=
            small_sigma1(w[(i - 2) & 15]) + w[(i - 7) & 15] + small_sigma0(w[(i - 15) & 15]);
    }
    return w[i & 15];
}

template <bool Expand>
inline void eight_rounds(State& v, std::array<std::uint32_t, 16>& w, std::size_t i) {
    auto& [a, b, c, d, e, f, g, h] = v;
    round(a, b, c, d, e, f, g, h, round_constants[i] + word<Expand>(w, i));
    round(h, a, b, c, d, e, f, g, round_constants[i + 1] + word<Expand>(w, i + 1));
    round(g, h, a, b, c, d, e, f, round_constants[i + 2] + word<Expand>(w, i + 2));
    round(f, g, h, a, b, c, d, e, round_constants[i + 3] + word<Expand>(w, i + 3));
    round(e, f, g, h, a, b, c, d, round_constants[i + 4] + word<Expand>(w, i + 4));
    round(d, e, f, g, h, a, b, c, round_constants[i + 5] + word<Expand>(w, i + 5));
    round(c, d, e, f, g, h, a, b, round_constants[i + 6] + word<Expand>(w, i + 6));
    round(b, c, d, e, f, g, h, a, round_constants[i + 7] + word<Expand>(w, i + 7));
}

void compress(State& state, const unsigned char* block) {
    std::array<std::uint32_t, 16> w;
    for (std::size_t i = 0; i < 16; ++i) {
        w[i] = load_big_endian(block + 4 * i);
    }
    State v = state;
    eight_rounds<false>(v, w, 0);
    eight_rounds<false>(v, w, 8);
    for (std::size_t i = 16; i < 64; i += 8) {
        eight_rounds<true>(v, w, i);
    }
    for (std::size_t i = 0; i < 8; ++i) {
        state[i] += v[i];
    }
}

// The last bytes, the 0x80 marker, zeros and the bit length: one or two blocks.
void compress_tail(State& state, const unsigned char* tail, std::size_t tail_size,
                   std::uint64_t total_size) {
    unsigned char last[2 * block_size] = {};
    if (tail_size > 0) {
        std::memcpy(last, tail, tail_size);
    }
    last[tail_size] = 0x80;
    const std::size_t blocks = tail_size + 1 + 8 <= block_size ? 1 : 2;
    const std::uint64_t bits = total_size * 8;
    for (std::size_t i = 0; i < 8; ++i) {
        last[blocks * block_size - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    }
    for (std::size_t i = 0; i < blocks; ++i) {
        compress(state, last + i * block_size);
    }
}

}  // namespace

std::string sha256_hex(std::string_view bytes) {
    State state = initial_state;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t whole = bytes.size() / block_size * block_size;
    for (std::size_t offset = 0; offset < whole; offset += block_size) {
        compress(state, data + offset);
    }
    compress_tail(state, data + whole, bytes.size() - whole, bytes.size());

    static constexpr char digits[] = "0123456789abcdef";
    std::string hex(64, '0');
    for (std::size_t i = 0; i < 32; ++i) {
        const auto byte = static_cast<unsigned>(state[i / 4] >> (24 - 8 * (i % 4)) & 0xFF);
        hex[2 * i] = digits[byte >> 4];
        hex[2 * i + 1] = digits[byte & 15];
    }
    return hex;
}

}  // namespace bootsmith::util
