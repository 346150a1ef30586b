// The bare-stream unpacker. Streams come from downloaded releases, so every read, every
// back-reference and every gamma number is checked before use; nothing is trusted.
#include "backup/aplib.h"

namespace kestrow::aplib {

namespace {

class StreamReader {
public:
    StreamReader(const std::uint8_t* data, std::size_t length) : m_data(data), m_length(length) {}

    bool byte(std::uint32_t& out) {
        if (m_pos >= m_length) return false;
        out = m_data[m_pos++];
        return true;
    }

    // Tag bytes sit in the stream wherever the next control bit is first needed.
    bool bit(std::uint32_t& out) {
        if (m_bitsLeft == 0) {
            if (m_pos >= m_length) return false;
            m_tag = m_data[m_pos++];
            m_bitsLeft = 8;
        }
        --m_bitsLeft;
        out = (m_tag >> m_bitsLeft) & 1u;
        return true;
    }

    // A gamma number of more than 32 bits is refused: no packer writes one, and it would only
    // serve to overflow length arithmetic.
    UnpackStatus gamma(std::uint64_t& out) {
        std::uint64_t value = 1;
        std::uint32_t more = 0;
        int bits = 1;
        do {
            std::uint32_t b = 0;
            if (!bit(b)) return UnpackStatus::InputEnded;
            value = (value << 1) | b;
            if (++bits > 32) return UnpackStatus::GammaTooLong;
            if (!bit(more)) return UnpackStatus::InputEnded;
        } while (more);
        out = value;
        return UnpackStatus::Ok;
    }

    std::size_t position() const { return m_pos; }

private:
    const std::uint8_t* m_data;
    std::size_t m_length;
    std::size_t m_pos = 0;
    std::uint32_t m_tag = 0;
    int m_bitsLeft = 0;
};

// Where the unpacked bytes go: a buffer, or only a count (to learn a stream's size before
// allocating for it).
class BufferSink {
public:
    BufferSink(std::uint8_t* out, std::size_t capacity) : m_out(out), m_capacity(capacity) {}
    std::size_t written() const { return m_written; }
    bool put(std::uint8_t value) {
        if (m_written >= m_capacity) return false;
        m_out[m_written++] = value;
        return true;
    }
    // Checked copy of a back-reference; a match may overlap the bytes it produces.
    UnpackStatus copy(std::uint64_t offset, std::uint64_t length) {
        if (offset == 0 || offset > m_written) return UnpackStatus::BadReference;
        if (length > m_capacity - m_written) return UnpackStatus::OutputFull;
        const std::uint8_t* from = m_out + m_written - offset;
        std::uint8_t* to = m_out + m_written;
        for (std::uint64_t i = 0; i < length; ++i) to[i] = from[i];
        m_written += static_cast<std::size_t>(length);
        return UnpackStatus::Ok;
    }

private:
    std::uint8_t* m_out;
    std::size_t m_capacity;
    std::size_t m_written = 0;
};

class CountingSink {
public:
    explicit CountingSink(std::size_t limit) : m_limit(limit) {}
    std::size_t written() const { return m_written; }
    bool put(std::uint8_t) {
        if (m_written >= m_limit) return false;
        ++m_written;
        return true;
    }
    UnpackStatus copy(std::uint64_t offset, std::uint64_t length) {
        if (offset == 0 || offset > m_written) return UnpackStatus::BadReference;
        if (length > m_limit - m_written) return UnpackStatus::OutputFull;
        m_written += static_cast<std::size_t>(length);
        return UnpackStatus::Ok;
    }

private:
    std::size_t m_limit;
    std::size_t m_written = 0;
};

template <typename Sink>
UnpackResult decode(const void* source, std::size_t sourceLength, Sink& out) {
    UnpackResult result;
    StreamReader in(static_cast<const std::uint8_t*>(source), sourceLength);
    auto fail = [&](UnpackStatus status) {
        result.status = status;
        result.written = out.written();
        result.consumed = in.position();
        return result;
    };

    std::uint32_t first = 0;
    in.byte(first);
    if (!out.put(static_cast<std::uint8_t>(first))) return fail(UnpackStatus::OutputFull);

    // Offset 0 stands for "not set yet": no real back-reference has it.
    std::uint64_t lastOffset = 0;
    bool previousWasMatch = false;
    for (;;) {
        std::uint32_t b = 0;
        if (!in.bit(b)) return fail(UnpackStatus::InputEnded);
        if (b == 0) {  // literal
            std::uint32_t value = 0;
            if (!in.byte(value)) return fail(UnpackStatus::InputEnded);
            if (!out.put(static_cast<std::uint8_t>(value))) return fail(UnpackStatus::OutputFull);
            previousWasMatch = false;
            continue;
        }
        if (!in.bit(b)) return fail(UnpackStatus::InputEnded);
        if (b == 0) {  // block match
            std::uint64_t high = 0;
            if (UnpackStatus s = in.gamma(high); s != UnpackStatus::Ok) return fail(s);
            std::uint64_t offset = 0;
            std::uint64_t length = 0;
            if (!previousWasMatch && high == 2) {
                offset = lastOffset;
                if (UnpackStatus s = in.gamma(length); s != UnpackStatus::Ok) return fail(s);
            } else {
                std::uint32_t low = 0;
                if (!in.byte(low)) return fail(UnpackStatus::InputEnded);
                offset = ((high - (previousWasMatch ? 2 : 3)) << 8) + low;
                if (UnpackStatus s = in.gamma(length); s != UnpackStatus::Ok) return fail(s);
                if (offset >= 32000) ++length;
                if (offset >= 1280) ++length;
                if (offset < 128) length += 2;
                lastOffset = offset;
            }
            if (UnpackStatus s = out.copy(offset, length); s != UnpackStatus::Ok) return fail(s);
            previousWasMatch = true;
            continue;
        }
        if (!in.bit(b)) return fail(UnpackStatus::InputEnded);
        if (b == 0) {  // short match or end marker
            std::uint32_t value = 0;
            if (!in.byte(value)) return fail(UnpackStatus::InputEnded);
            std::uint64_t offset = value >> 1;
            // Offset 0 ends the stream whatever the length bit says: byte 1 is an end marker
            // too, as the format's reference depacker reads it, so streams from packers that
            // write it stay readable.
            if (offset == 0) break;
            if (UnpackStatus s = out.copy(offset, 2 + (value & 1u)); s != UnpackStatus::Ok) return fail(s);
            lastOffset = offset;
            previousWasMatch = true;
            continue;
        }
        // single byte from up to 15 positions back, or a zero byte
        std::uint32_t distance = 0;
        for (int i = 0; i < 4; ++i) {
            if (!in.bit(b)) return fail(UnpackStatus::InputEnded);
            distance = (distance << 1) | b;
        }
        if (distance == 0) {
            if (!out.put(0)) return fail(UnpackStatus::OutputFull);
        } else if (UnpackStatus s = out.copy(distance, 1); s != UnpackStatus::Ok) {
            return fail(s);
        }
        previousWasMatch = false;
    }
    result.status = UnpackStatus::Ok;
    result.written = out.written();
    result.consumed = in.position();
    return result;
}

}  // namespace

UnpackResult unpackRaw(const void* source, std::size_t sourceLength, void* destination,
                       std::size_t destinationCapacity) {
    UnpackResult result;
    if (source == nullptr || sourceLength == 0) {
        result.status = UnpackStatus::InputEnded;
        return result;
    }
    if (destination == nullptr || destinationCapacity == 0) {
        result.status = UnpackStatus::OutputFull;
        return result;
    }
    BufferSink out(static_cast<std::uint8_t*>(destination), destinationCapacity);
    return decode(source, sourceLength, out);
}

UnpackResult measureRaw(const void* source, std::size_t sourceLength, std::size_t limit) {
    UnpackResult result;
    if (source == nullptr || sourceLength == 0) {
        result.status = UnpackStatus::InputEnded;
        return result;
    }
    CountingSink out(limit);
    return decode(source, sourceLength, out);
}

std::size_t unpack(const void* source, std::size_t sourceLength, void* destination,
                   std::size_t destinationCapacity) {
    UnpackResult r = unpackRaw(source, sourceLength, destination, destinationCapacity);
    return r.status == UnpackStatus::Ok ? r.written : 0;
}

}  // namespace kestrow::aplib
