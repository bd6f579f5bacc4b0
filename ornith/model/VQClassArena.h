#pragma once
// The storage that a class owns for everything it keeps: its members, their names,
// descriptors and attribute pointers, and the types made on request. One class costs a
// few chunks instead of an allocation per member, string and list; everything in them
// goes when the arena does.
//
// Chunks are taken from the heap as they are needed: the first of the size given at
// construction (the class sizes it from its file's length), each later one twice the
// size of the one before, up to a cap; a request larger than that gets a chunk of its own.
// Objects with a destructor are destroyed in the reverse order of their making when the
// arena goes. Not for use from two threads at once (a class is not; see the README).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

namespace ornith {

class VQClassArena {
public:
    // No chunk is taken until the first request.
    explicit VQClassArena(size_t firstChunkBytes = kSmallestChunk) noexcept;
    ~VQClassArena();

    VQClassArena(const VQClassArena&) = delete;
    VQClassArena& operator=(const VQClassArena&) = delete;

    static constexpr size_t kSmallestChunk = 256;
    static constexpr size_t kLargestGrownChunk = size_t{1} << 20;
    static constexpr size_t kLargestReservedChunk = size_t{16} << 20;

    // Uninitialised room; alignment is a power of two no larger than max_align_t's.
    void* allocate(size_t bytes, size_t alignment);

    // Makes sure that the next requests, up to the given bytes in all, fit the current
    // chunk: when they do not, a chunk of that size starts (what the old one had left is
    // given up). For an owner that knows how much is coming: fewer, better-fitted chunks.
    // The caller bounds the bytes by what its input holds.
    void reserve(size_t bytes);

    // An object made in the arena; destroyed with it when T has a destructor to run.
    template <class T, class... Args>
    T* make(Args&&... args) {
        void* room = allocate(sizeof(T), alignof(T));
        if constexpr (std::is_trivially_destructible_v<T>) {
            return ::new (room) T(std::forward<Args>(args)...);
        } else {
            // The record first: once the object stands, nothing may fail before it is listed.
            void* record = _cleanupRoom();
            T* object = ::new (room) T(std::forward<Args>(args)...);
            _linkCleanup(record, object, 1, &destroy<T>);
            return object;
        }
    }

    // n value-initialised objects in a row (for T with a destructor, destroyed with the
    // arena). The caller bounds n by what the class file holds, never by a count it states.
    template <class T>
    T* makeArray(size_t n) {
        if (n == 0) return nullptr;
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        static_assert(std::is_nothrow_default_constructible_v<T>);
        void* room = allocate(n * sizeof(T), alignof(T));
        void* record = std::is_trivially_destructible_v<T> ? nullptr : _cleanupRoom();
        T* first = static_cast<T*>(room);
        for (size_t i = 0; i < n; ++i) ::new (static_cast<void*>(first + i)) T();
        if constexpr (!std::is_trivially_destructible_v<T>)
            _linkCleanup(record, first, n, &destroy<T>);
        return first;
    }

    // Has n objects made in a row in the arena's room destroyed when the arena goes, for
    // objects made there by hand (without a default constructor, say).
    template <class T>
    void adopt(T* first, size_t n) {
        if constexpr (!std::is_trivially_destructible_v<T>)
            if (n > 0) _linkCleanup(_cleanupRoom(), first, n, &destroy<T>);
    }

    // A copy of the text that lives as long as the arena.
    std::string_view copyText(std::string_view text);

    // What the arena took from the heap, and in how many chunks.
    size_t bytesReserved() const noexcept { return _reserved; }
    size_t chunkCount() const noexcept { return _chunks; }
    // What requests took of that (alignment included): the rest is the unused end of
    // each chunk and the chunks' own bookkeeping.
    size_t bytesUsed() const noexcept {
        return _reserved - _chunks * sizeof(Chunk) - _abandoned - static_cast<size_t>(_end - _next);
    }

private:
    struct alignas(std::max_align_t) Chunk {
        Chunk* previous;
    };
    struct Cleanup {
        Cleanup* previous;
        void (*destroy)(void*, size_t);
        void* objects;
        size_t count;
    };

    template <class T>
    static void destroy(void* objects, size_t count) noexcept {
        T* first = static_cast<T*>(objects);
        for (size_t i = count; i > 0; --i) first[i - 1].~T();
    }

    void* _cleanupRoom() { return allocate(sizeof(Cleanup), alignof(Cleanup)); }
    void _linkCleanup(void* record, void* objects, size_t count,
                      void (*destroyer)(void*, size_t)) noexcept {
        _cleanups = ::new (record) Cleanup{_cleanups, destroyer, objects, count};
    }
    void* _allocateSlow(size_t bytes, size_t alignment);
    void _startChunk(size_t size);

    Chunk* _chunk = nullptr;
    char* _next = nullptr;
    char* _end = nullptr;
    size_t _nextChunkBytes;
    size_t _reserved = 0;
    size_t _chunks = 0;
    size_t _abandoned = 0;  // the unused ends of chunks left behind
    Cleanup* _cleanups = nullptr;
};

inline void* VQClassArena::allocate(size_t bytes, size_t alignment) {
    const auto at = reinterpret_cast<uintptr_t>(_next);
    const uintptr_t aligned = (at + (alignment - 1)) & ~uintptr_t{alignment - 1};
    if (_next && aligned - at <= static_cast<size_t>(_end - _next) &&
        bytes <= static_cast<size_t>(_end - _next) - (aligned - at)) {
        _next = reinterpret_cast<char*>(aligned + bytes);
        return reinterpret_cast<void*>(aligned);
    }
    return _allocateSlow(bytes, alignment);
}

}  // namespace ornith
