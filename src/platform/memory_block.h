#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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

// The machine's physical memory in bytes (0 when the system does not tell).
uint64_t PhysicalMemoryBytes();
// The memory work may plan on: the physical memory, unless a limit was set (tests set a
// small one). SetMemoryLimitBytes(0) goes back to the physical memory; it returns the old
// limit.
uint64_t MemoryLimitBytes();
uint64_t SetMemoryLimitBytes(uint64_t bytes);
// Empty when `bytes` fit MemoryLimitBytes(); else why not, in words ("about N MiB are
// needed; this machine has M MiB").
std::string MemoryShortfall(uint64_t bytes);
// Whether work that needs about `bytes` of memory fits MemoryLimitBytes(); when it does
// not, says so ("<what> is refused: about N MiB are needed; this machine has M MiB.") and
// returns false.
// Work is refused before it starts, never by running out in the middle of it.
bool HasMemoryFor(const std::string& what, uint64_t bytes);
