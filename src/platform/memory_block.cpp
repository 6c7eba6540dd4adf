#include "platform/memory_block.h"

#include <cstdlib>

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
