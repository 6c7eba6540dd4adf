#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// One owning, zero-filled, contiguous byte block. Allocation failure is a result
// (an empty block), never an exception. Nobody keeps a pointer into a block across
// operations: take Data() for the duration of one operation only.
class CMemoryBlock {
public:
    CMemoryBlock() = default;
    CMemoryBlock(CMemoryBlock&&) noexcept = default;
    CMemoryBlock& operator=(CMemoryBlock&&) noexcept = default;
    CMemoryBlock(const CMemoryBlock&) = delete;
    CMemoryBlock& operator=(const CMemoryBlock&) = delete;

    // A new zero-filled block of the given size; empty when the memory cannot be had
    // (or when bytes is 0).
    static CMemoryBlock Allocate(size_t bytes);

    // Replaces the content by a new zero-filled block; false (and empty) on failure.
    bool Reallocate(size_t bytes);

    void Free();
    bool IsNull() const { return !m_data; }
    explicit operator bool() const { return static_cast<bool>(m_data); }

    uint8_t* Data() { return m_data.get(); }
    const uint8_t* Data() const { return m_data.get(); }
    size_t Size() const { return m_size; }

    template <typename T>
    T* As() {
        return reinterpret_cast<T*>(m_data.get());
    }
    template <typename T>
    const T* As() const {
        return reinterpret_cast<const T*>(m_data.get());
    }

private:
    struct FreeDeleter {
        void operator()(uint8_t* p) const noexcept;
    };
    std::unique_ptr<uint8_t, FreeDeleter> m_data;
    size_t m_size = 0;
};
