#include "online/inflate.h"

#include <array>
#include <cstdint>
#include <initializer_list>

namespace zentaro::online {

namespace {

// Thrown inside the decoder only; UnpackBody turns it into a status.
struct Stop {
    Unpacked::Status status;
};

// Bits of the input, least significant first, as deflate packs them.
class BitReader {
public:
    explicit BitReader(QByteArrayView in) : in_(in) {}

    unsigned Bits(int n) {
        while (count_ < n) {
            if (pos_ >= in_.size())
                throw Stop{Unpacked::Status::Damaged};
            buffer_ |= std::uint32_t{static_cast<unsigned char>(in_[pos_++])} << count_;
            count_ += 8;
        }
        const unsigned value = buffer_ & ((1u << n) - 1);
        buffer_ >>= n;
        count_ -= n;
        return value;
    }
    // Drops the bits left of the current byte.
    void Align() {
        buffer_ = 0;
        count_ = 0;
    }
    unsigned char Byte() { return static_cast<unsigned char>(Bits(8)); }
    qsizetype position() const { return pos_; }

private:
    QByteArrayView in_;
    qsizetype pos_ = 0;
    std::uint32_t buffer_ = 0;
    int count_ = 0;
};

constexpr int kMaxCodeBits = 15;

// A canonical Huffman code: how many codes each length has, and the symbols in
// code order.
struct Code {
    std::array<std::uint16_t, kMaxCodeBits + 1> counts{};
    std::array<std::uint16_t, 288> symbols{};

    Code(const std::uint8_t* lengths, int n) {
        for (int s = 0; s < n; ++s)
            ++counts[lengths[s]];
        counts[0] = 0;
        int left = 1; // codes still free at the current length
        for (int len = 1; len <= kMaxCodeBits; ++len) {
            left = 2 * left - counts[len];
            if (left < 0)
                throw Stop{Unpacked::Status::Damaged};
        }
        std::array<std::uint16_t, kMaxCodeBits + 2> next{};
        for (int len = 1; len <= kMaxCodeBits; ++len)
            next[len + 1] = static_cast<std::uint16_t>(next[len] + counts[len]);
        for (int s = 0; s < n; ++s)
            if (lengths[s] != 0)
                symbols[next[lengths[s]]++] = static_cast<std::uint16_t>(s);
    }

    int Decode(BitReader& in) const {
        int code = 0;  // the bits read so far
        int first = 0; // the first code of the current length
        int index = 0; // its place in symbols
        for (int len = 1; len <= kMaxCodeBits; ++len) {
            code |= static_cast<int>(in.Bits(1));
            const int count = counts[len];
            if (code - first < count)
                return symbols[index + code - first];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        throw Stop{Unpacked::Status::Damaged};
    }
};

constexpr std::array<std::uint16_t, 29> kLengthBase{3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                    15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                    67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                    2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 30> kDistanceBase{
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> kDistanceExtra{0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                      4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                      9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a block's own code gives the lengths of its code lengths.
constexpr std::array<std::uint8_t, 19> kLengthOrder{16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                    11, 4,  12, 3, 13, 2, 14, 1, 15};

class Inflater {
public:
    Inflater(BitReader& in, qsizetype limit) : in_(in), limit_(limit) {}

    QByteArray Run() {
        bool last = false;
        while (!last) {
            last = in_.Bits(1) == 1;
            switch (in_.Bits(2)) {
            case 0:
                Stored();
                break;
            case 1:
                Fixed();
                break;
            case 2:
                Dynamic();
                break;
            default:
                throw Stop{Unpacked::Status::Damaged};
            }
        }
        in_.Align();
        return std::move(out_);
    }

private:
    void Put(char byte) {
        if (out_.size() >= limit_)
            throw Stop{Unpacked::Status::TooLarge};
        out_ += byte;
    }

    void Stored() {
        in_.Align();
        const unsigned length = in_.Bits(16);
        if ((length ^ in_.Bits(16)) != 0xFFFFu)
            throw Stop{Unpacked::Status::Damaged};
        for (unsigned i = 0; i < length; ++i)
            Put(static_cast<char>(in_.Byte()));
    }

    void Fixed() {
        std::array<std::uint8_t, 288> lengths{};
        for (int s = 0; s < 288; ++s)
            lengths[s] = static_cast<std::uint8_t>(s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8);
        std::array<std::uint8_t, 30> distances{};
        distances.fill(5);
        Codes(Code(lengths.data(), 288), Code(distances.data(), 30));
    }

    void Dynamic() {
        const int literals = static_cast<int>(in_.Bits(5)) + 257;
        const int distances = static_cast<int>(in_.Bits(5)) + 1;
        const int lengthCodes = static_cast<int>(in_.Bits(4)) + 4;
        if (literals > 286 || distances > 30)
            throw Stop{Unpacked::Status::Damaged};
        std::array<std::uint8_t, 19> order{};
        for (int i = 0; i < lengthCodes; ++i)
            order[kLengthOrder[i]] = static_cast<std::uint8_t>(in_.Bits(3));
        const Code lengthCode(order.data(), 19);

        std::array<std::uint8_t, 286 + 30> lengths{};
        int n = 0;
        while (n < literals + distances) {
            const int symbol = lengthCode.Decode(in_);
            if (symbol < 16) {
                lengths[n++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            std::uint8_t repeated = 0;
            unsigned times = 0;
            if (symbol == 16) {
                if (n == 0)
                    throw Stop{Unpacked::Status::Damaged};
                repeated = lengths[n - 1];
                times = 3 + in_.Bits(2);
            } else {
                times = symbol == 17 ? 3 + in_.Bits(3) : 11 + in_.Bits(7);
            }
            if (n + static_cast<int>(times) > literals + distances)
                throw Stop{Unpacked::Status::Damaged};
            while (times-- > 0)
                lengths[n++] = repeated;
        }
        if (lengths[256] == 0) // no end of block
            throw Stop{Unpacked::Status::Damaged};
        Codes(Code(lengths.data(), literals), Code(lengths.data() + literals, distances));
    }

    void Codes(const Code& literal, const Code& distance) {
        for (;;) {
            const int symbol = literal.Decode(in_);
            if (symbol < 256) {
                Put(static_cast<char>(symbol));
                continue;
            }
            if (symbol == 256)
                return;
            const int l = symbol - 257;
            if (l >= 29)
                throw Stop{Unpacked::Status::Damaged};
            const unsigned length = kLengthBase[l] + in_.Bits(kLengthExtra[l]);
            const int d = distance.Decode(in_);
            if (d >= 30)
                throw Stop{Unpacked::Status::Damaged};
            const qsizetype back = kDistanceBase[d] + in_.Bits(kDistanceExtra[d]);
            if (back > out_.size())
                throw Stop{Unpacked::Status::Damaged};
            for (unsigned i = 0; i < length; ++i)
                Put(out_[out_.size() - back]);
        }
    }

    BitReader& in_;
    qsizetype limit_;
    QByteArray out_;
};

std::uint32_t Crc32(QByteArrayView data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : data) {
        crc ^= static_cast<unsigned char>(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return ~crc;
}

std::uint32_t Adler32(QByteArrayView data) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const char byte : data) {
        a = (a + static_cast<unsigned char>(byte)) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

std::uint32_t Word(BitReader& in, bool bigEndian) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t byte = in.Byte();
        value = bigEndian ? (value << 8) | byte : value | (byte << (8 * i));
    }
    return value;
}

// A gzip member: its header, the deflate data, its checksum and length.
QByteArray Gunzip(QByteArrayView body, qsizetype limit) {
    BitReader in(body);
    if (in.Byte() != 0x1f || in.Byte() != 0x8b || in.Byte() != 8)
        throw Stop{Unpacked::Status::Damaged};
    const unsigned flags = in.Byte();
    for (int i = 0; i < 6; ++i) // time, extra flags, system
        in.Byte();
    if (flags & 4) { // extra field
        const unsigned length = in.Bits(16);
        for (unsigned i = 0; i < length; ++i)
            in.Byte();
    }
    for (const unsigned text : {8u, 16u}) // file name, comment
        if (flags & text)
            while (in.Byte() != 0) {
            }
    if (flags & 2) // header checksum
        in.Bits(16);
    QByteArray out = Inflater(in, limit).Run();
    if (Word(in, false) != Crc32(out) ||
        Word(in, false) != static_cast<std::uint32_t>(out.size() & 0xFFFFFFFF))
        throw Stop{Unpacked::Status::Damaged};
    return out;
}

// "deflate" as the standard means it, in a zlib wrapper; bare deflate data,
// which some servers send under that name, otherwise.
QByteArray Deflate(QByteArrayView body, qsizetype limit) {
    const bool wrapped =
        body.size() >= 2 && (static_cast<unsigned char>(body[0]) & 0x0F) == 8 &&
        (static_cast<unsigned char>(body[1]) & 0x20) == 0 &&
        (static_cast<unsigned char>(body[0]) * 256 + static_cast<unsigned char>(body[1])) % 31 == 0;
    BitReader in(wrapped ? body.sliced(2) : body);
    QByteArray out = Inflater(in, limit).Run();
    if (wrapped && Word(in, true) != Adler32(out))
        throw Stop{Unpacked::Status::Damaged};
    return out;
}

} // namespace

Unpacked UnpackBody(QByteArrayView body, QByteArrayView encoding, qsizetype limit) {
    const QByteArray coding = encoding.toByteArray().trimmed().toLower();
    Unpacked result;
    try {
        if (coding.isEmpty() || coding == "identity") {
            if (body.size() > limit)
                throw Stop{Unpacked::Status::TooLarge};
            result.data = body.toByteArray();
        } else if (coding == "gzip" || coding == "x-gzip") {
            result.data = Gunzip(body, limit);
        } else if (coding == "deflate") {
            result.data = Deflate(body, limit);
        } else {
            result.status = Unpacked::Status::Unknown;
        }
    } catch (const Stop& stop) {
        result.status = stop.status;
        result.data.clear();
    }
    return result;
}

} // namespace zentaro::online
