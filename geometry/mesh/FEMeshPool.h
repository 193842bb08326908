// FEMeshPoolC: the chunked record pool from which a mesh part allocates its faces, loops, edges and vertices.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/sys.h"

// A mesh of a million triangles is made of millions of small records; allocating each one
// from the heap costs time and a header per record. The pool hands out slots from chunks it
// owns and recycles freed slots. Records must be destroyed through the pool they came from;
// whatever is still allocated when the pool goes away is released without running its
// destructor, so the owner destroys records that hold resources first.
//
// Under AddressSanitizer every record is a heap object of its own, so the sanitizer still
// sees a use after free or a leak of a single record.
template <class T>
class FEMeshPoolC {
public:
    // Records without a destructor of their own may be dropped with their chunks (releaseAll)
    // instead of one by one. Not under the sanitizer, which wants to see every record go.
#if defined(__SANITIZE_ADDRESS__)
    static constexpr bool kDropsWholesale = false;
#else
    static constexpr bool kDropsWholesale = std::is_trivially_destructible_v<T>;
#endif

    FEMeshPoolC() = default;
    FEMeshPoolC(const FEMeshPoolC&) = delete;
    FEMeshPoolC& operator=(const FEMeshPoolC&) = delete;
    ~FEMeshPoolC() { releaseAll(); }

    template <class... Args>
    T* create(Args&&... args)
    {
#if defined(__SANITIZE_ADDRESS__)
        ++live_;
        return new T(std::forward<Args>(args)...);
#else
        void* slot = takeSlot();
        T* object = new (slot) T(std::forward<Args>(args)...);
        ++live_;
        return object;
#endif
    }

    void destroy(T* object)
    {
        if (!object)
            return;
        --live_;
#if defined(__SANITIZE_ADDRESS__)
        delete object;
#else
        object->~T();
        Slot* slot = reinterpret_cast<Slot*>(object);
        slot->nextFree = freeList_;
        freeList_ = slot;
#endif
    }

    // Number of records created and not yet destroyed.
    size_t live() const { return live_; }

    // Frees every chunk. Records still alive are dropped without their destructors.
    void releaseAll()
    {
        Chunk* c = chunks_;
        while (c) {
            Chunk* next = c->next;
            if (c->bytes >= kLargeChunkBytes)
                platform::sys::freeLargeBlock(c, c->bytes);
            else
                std::free(c);
            c = next;
        }
        chunks_ = nullptr;
        freeList_ = nullptr;
        used_ = capacity_ = 0;
        nextChunkBytes_ = kFirstChunkBytes;
        live_ = 0;
    }

private:
    union Slot {
        Slot* nextFree;
        alignas(T) unsigned char storage[sizeof(T)];
    };
    struct Chunk {
        Chunk* next;
        size_t bytes;
        // the slots follow, aligned for Slot
    };
    // Chunks double from a few kilobytes up to 2 MB; those come from huge-page blocks.
    static constexpr size_t kFirstChunkBytes = 4096;
    static constexpr size_t kLargeChunkBytes = size_t(2) << 20;
    static constexpr size_t kMaxChunkBytes = size_t(2) << 20;
    static constexpr size_t kHead = (sizeof(Chunk) + alignof(Slot) - 1) / alignof(Slot) * alignof(Slot);
    static constexpr size_t kChunkAlignment = alignof(Slot) > alignof(Chunk) ? alignof(Slot) : alignof(Chunk);
    static_assert(kFirstChunkBytes % kChunkAlignment == 0, "chunks are whole multiples of their alignment");

    static Slot* slotsOf(Chunk* c) { return reinterpret_cast<Slot*>(reinterpret_cast<unsigned char*>(c) + kHead); }

    void* takeSlot()
    {
        if (freeList_) {
            Slot* s = freeList_;
            freeList_ = s->nextFree;
            return s;
        }
        if (used_ == capacity_) {
            size_t bytes = nextChunkBytes_;
            while (bytes < kHead + 4 * sizeof(Slot))
                bytes *= 2;
            void* raw = bytes >= kLargeChunkBytes ? platform::sys::allocateLargeBlock(bytes)
                                                  : std::aligned_alloc(kChunkAlignment, bytes);
            if (!raw)
                throw std::bad_alloc();
            Chunk* c = static_cast<Chunk*>(raw);
            c->next = chunks_;
            c->bytes = bytes;
            chunks_ = c;
            used_ = 0;
            capacity_ = (bytes - kHead) / sizeof(Slot);
            if (nextChunkBytes_ < kMaxChunkBytes)
                nextChunkBytes_ *= 2;
        }
        return &slotsOf(chunks_)[used_++];
    }

    Chunk* chunks_ = nullptr;
    Slot* freeList_ = nullptr;
    size_t used_ = 0;      // slots handed out of the newest chunk
    size_t capacity_ = 0;  // slots of the newest chunk
    size_t nextChunkBytes_ = kFirstChunkBytes;
    size_t live_ = 0;
};
