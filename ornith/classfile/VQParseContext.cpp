#include "ornith/classfile/VQParseContext.h"

#include <atomic>
#include <utility>

namespace ornith {

VQParseContext::VQParseContext() noexcept = default;

VQParseContext::~VQParseContext() {
    parsing::freePoolBlock(keptBlock);
}

namespace parsing {

size_t newScratchSlot() noexcept {
    static std::atomic<size_t> next{0};
    return next.fetch_add(1, std::memory_order_relaxed);
}

namespace {

// Thread-local because the parse given no context must find a warm one without a lock
// (a name-only parse of a class takes well under a microsecond, and a process-wide spare
// would have to be locked and would be shared by threads parsing at once). The slot holds
// the context only while no parse of this thread uses it, so that a parse within a parse
// finds it empty and makes its own.
thread_local std::unique_ptr<VQParseContext> spareContext;

}  // namespace

DefaultContext::DefaultContext() : _context(std::move(spareContext)) {
    if (!_context) _context = std::make_unique<VQParseContext>();
}

DefaultContext::~DefaultContext() {
    if (!spareContext) spareContext = std::move(_context);
}

}  // namespace parsing

}  // namespace ornith
