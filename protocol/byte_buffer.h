#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

// A fixed buffer of 75 bytes with its count. The link sends from it and stores reply bytes in it;
// the projector codec fills it from hex text. Nothing is ever written or read past index 74.
struct ByteBuffer
{
    static constexpr int capacity = 75;

    std::array<std::uint8_t, capacity> bytes {};
    int len = 0; // 0 to capacity

    // Stores b at index len when there is room; a full buffer drops it. True when stored.
    bool append(std::uint8_t b)
    {
        if (len >= capacity)
            return false;
        bytes[static_cast<std::size_t>(len++)] = b;
        return true;
    }
    void clear() { len = 0; }
    QByteArray data() const
    {
        return QByteArray(reinterpret_cast<const char *>(bytes.data()), len);
    }
};
