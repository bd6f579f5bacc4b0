#pragma once
// What a class-file parse works in: the block its constant pool lives in, the buffers its
// texts are decoded into, the attribute list it lends, the decoders it found by attribute
// name, and the scratch of the attribute decoders. A parse given no context takes one for
// its own length; a host that parses many classes may keep one and hand it to each parse
// in turn, so that what one parse grew serves the next.
//
// A context serves one parse at a time. A parse begun inside a builder call or an
// attribute decoder of another one takes a context of its own (the parse given none does
// that by itself), and parses on several threads each need their own.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "ornith/classfile/VQAttributeNameCache.h"
#include "ornith/classfile/VQConstantPool.h"
#include "ornith/classfile/VQJavaAttribute.h"

namespace ornith {

namespace parsing {

struct PoolBlock;
void freePoolBlock(PoolBlock* block) noexcept;

// The scratch of one kind of decoder within a context, made on its first use.
struct ScratchSlot {
    virtual ~ScratchSlot() = default;
};
template <class T>
struct ScratchOf final : ScratchSlot {
    T value;
};
// A slot number of its own for each kind of scratch, process-wide.
size_t newScratchSlot() noexcept;

}  // namespace parsing

class VQParseContext {
public:
    VQParseContext() noexcept;
    ~VQParseContext();
    VQParseContext(const VQParseContext&) = delete;
    VQParseContext& operator=(const VQParseContext&) = delete;

    // ---- The parser's own; a host only keeps the context and hands it on. ----

    // Texts that need decoding, and the class's dotted name, for the views handed out.
    std::string name;
    std::string descriptor;
    std::string className;
    // The attribute list lent to the builder; what it does not take goes when the parse ends.
    VQAttributeList attributes;
    // The decoders found by attribute name.
    parsing::AttributeNameCache decoders;
    // The pool block of the last parse, kept for the next one.
    parsing::PoolBlock* keptBlock = nullptr;

    // The scratch of a decoder kind T (default-constructible), kept for the context's life.
    template <class T>
    T& scratch() {
        static const size_t slot = parsing::newScratchSlot();
        if (slot >= _slots.size()) _slots.resize(slot + 1);
        std::unique_ptr<parsing::ScratchSlot>& held = _slots[slot];
        if (!held) held = std::make_unique<parsing::ScratchOf<T>>();
        return static_cast<parsing::ScratchOf<T>&>(*held).value;
    }

private:
    std::vector<std::unique_ptr<parsing::ScratchSlot>> _slots;
};

namespace parsing {

// The scratch of decoder kind T in the pool's parse, or `local` for a pool opened on its
// own (a decoder called directly).
template <class T>
T& scratchFor(const VQConstantPool& pool, T& local) {
    return pool.context ? pool.context->scratch<T>() : local;
}

// The context of a parse that was given none: this thread's spare one, taken out of its
// slot for the parse and put back afterwards, or a new one when the slot is empty (a
// parse within a parse).
class DefaultContext {
public:
    DefaultContext();
    ~DefaultContext();
    DefaultContext(const DefaultContext&) = delete;
    DefaultContext& operator=(const DefaultContext&) = delete;
    VQParseContext& operator*() const noexcept { return *_context; }

private:
    std::unique_ptr<VQParseContext> _context;
};

}  // namespace parsing

}  // namespace ornith
