#include "ornith/model/VQClassArena.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace ornith {

VQClassArena::VQClassArena(size_t firstChunkBytes) noexcept
    : _nextChunkBytes(std::clamp(firstChunkBytes, kSmallestChunk, kLargestGrownChunk)) {}

VQClassArena::~VQClassArena() {
    for (Cleanup* c = _cleanups; c;) {
        // The record lives in a chunk too: read its link before the objects go.
        Cleanup* previous = c->previous;
        c->destroy(c->objects, c->count);
        c = previous;
    }
    for (Chunk* chunk = _chunk; chunk;) {
        Chunk* previous = chunk->previous;
        ::operator delete(static_cast<void*>(chunk));
        chunk = previous;
    }
}

void* VQClassArena::_allocateSlow(size_t bytes, size_t alignment) {
    // Room for the request however the new chunk's start falls; a request beyond the
    // largest grown chunk gets a chunk of exactly its size, which leaves the growth as it
    // was.
    if (bytes > SIZE_MAX - sizeof(Chunk) - alignment) throw std::bad_alloc();
    const size_t needed = sizeof(Chunk) + bytes + alignment;
    const size_t size = std::max(needed, _nextChunkBytes);
    _startChunk(size);
    // Half as much again each time: doubling left a third of a corpus's storage unused.
    if (size == _nextChunkBytes)
        _nextChunkBytes = std::min(_nextChunkBytes + _nextChunkBytes / 2, kLargestGrownChunk);
    return allocate(bytes, alignment);
}

void VQClassArena::reserve(size_t bytes) {
    if (_next && static_cast<size_t>(_end - _next) >= bytes) return;
    const size_t size = sizeof(Chunk) + std::min(bytes, kLargestReservedChunk);
    _startChunk(std::max(size, kSmallestChunk));
    // Should the estimate fall short, what follows is likely a fraction of it.
    _nextChunkBytes = std::clamp(size / 4, kSmallestChunk, kLargestGrownChunk);
}

void VQClassArena::_startChunk(size_t size) {
    auto* chunk = static_cast<Chunk*>(::operator new(size));
    _abandoned += static_cast<size_t>(_end - _next);
    chunk->previous = _chunk;
    _chunk = chunk;
    _reserved += size;
    ++_chunks;
    _next = reinterpret_cast<char*>(chunk) + sizeof(Chunk);
    _end = reinterpret_cast<char*>(chunk) + size;
}

std::string_view VQClassArena::copyText(std::string_view text) {
    if (text.empty()) return {};
    char* copy = static_cast<char*>(allocate(text.size(), 1));
    std::memcpy(copy, text.data(), text.size());
    return {copy, text.size()};
}

}  // namespace ornith
