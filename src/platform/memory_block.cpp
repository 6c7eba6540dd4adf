#include "platform/memory_block.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "platform/user_interface.h"

void CMemoryBlock::FreeDeleter::operator()(uint8_t* p) const noexcept {
    std::free(p);
}

CMemoryBlock CMemoryBlock::Allocate(size_t bytes) {
    CMemoryBlock block;
    if (bytes == 0) return block;
    // calloc hands out zero-filled pages lazily, so a large block costs nothing
    // until it is written.
    auto* p = static_cast<uint8_t*>(std::calloc(bytes, 1));
    if (!p) return block;
    block.m_data.reset(p);
    block.m_size = bytes;
    return block;
}

bool CMemoryBlock::Reallocate(size_t bytes) {
    Free();
    *this = Allocate(bytes);
    return !IsNull();
}

void CMemoryBlock::Free() {
    m_data.reset();
    m_size = 0;
}

uint64_t PhysicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageBytes = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageBytes <= 0) return 0;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageBytes);
}

namespace {
std::atomic<uint64_t> g_memoryLimit{0};
}  // namespace

uint64_t MemoryLimitBytes() {
    const uint64_t limit = g_memoryLimit.load();
    return limit != 0 ? limit : PhysicalMemoryBytes();
}

uint64_t SetMemoryLimitBytes(uint64_t bytes) {
    return g_memoryLimit.exchange(bytes);
}

std::string MemoryShortfall(uint64_t bytes) {
    const uint64_t limit = MemoryLimitBytes();
    if (limit == 0 || bytes <= limit) return {};
    constexpr uint64_t kMiB = uint64_t{1} << 20;
    return Format("about %llu MiB are needed; this machine has %llu MiB",
                  static_cast<unsigned long long>((bytes + kMiB - 1) / kMiB),
                  static_cast<unsigned long long>(limit / kMiB));
}

bool HasMemoryFor(const std::string& what, uint64_t bytes) {
    const std::string shortfall = MemoryShortfall(bytes);
    if (shortfall.empty()) return true;
    ShowMessage(what + " is refused: " + shortfall + ".");
    return false;
}
