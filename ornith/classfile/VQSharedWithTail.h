#pragma once
// A shared object and a block of bytes it owns, in one allocation.
//
// Decoded attributes are small objects that each own one block of decoded text; made the
// usual way they cost two allocations, and on a library of thousands of classes the second
// is a measurable part of a model parse. Here the block follows the shared object's control
// block and object in the same allocation, and goes when the last owner lets go.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

namespace ornith {

// Where the block of a VQMakeSharedWithTail object is: set once the allocation is made,
// which is before the object is constructed, so its constructor may fill it.
struct VQTailRequest {
    size_t bytes = 0;
    uint8_t* tail = nullptr;
};

namespace tail_detail {

template <class U>
class Allocator {
public:
    using value_type = U;

    explicit Allocator(VQTailRequest* request) noexcept : _request(request) {}
    template <class V>
    Allocator(const Allocator<V>& other) noexcept : _request(other._request) {}

    U* allocate(size_t n) {
        constexpr size_t kAlign = alignof(std::max_align_t);
        const size_t head = (n * sizeof(U) + kAlign - 1) / kAlign * kAlign;
        auto* bytes = static_cast<uint8_t*>(::operator new(head + _request->bytes));
        _request->tail = bytes + head;
        return reinterpret_cast<U*>(bytes);
    }
    // The request is not looked at again: it lives only while the object is made.
    void deallocate(U* p, size_t) noexcept { ::operator delete(p); }

    template <class V>
    bool operator==(const Allocator<V>& other) const noexcept {
        return _request == other._request;
    }

private:
    template <class V>
    friend class Allocator;
    VQTailRequest* _request;
};

}  // namespace tail_detail

// Makes a T by T(const VQTailRequest&, args...), with `bytes` of storage at request.tail
// for it to fill; the storage is released with the object.
template <class T, class... Args>
std::shared_ptr<T> VQMakeSharedWithTail(size_t bytes, Args&&... args) {
    VQTailRequest request{bytes, nullptr};
    return std::allocate_shared<T>(tail_detail::Allocator<T>(&request), std::as_const(request),
                                   std::forward<Args>(args)...);
}

}  // namespace ornith
