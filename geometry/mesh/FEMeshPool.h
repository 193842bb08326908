// FEMeshPoolC: the chunked record pool from which a mesh part allocates its faces, loops, edges and vertices.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/AddressSpace.h"
#include "platform/sys.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

// The address range from which every pool of one record type takes its chunks. Because all
// records of the type lie in one range, a link to one fits in 32 bits: its distance from the
// start of the range in 4-byte steps (0 is no record). A record type opts in by declaring
// `static constexpr bool kLinkedByHandle = true;` (its size must be a multiple of 4).
//
// A record type may also keep data of its own outside its records, in two side halves beside the
// range (declaring `static constexpr bool kHasSideHalves = true;`; its size a multiple of 8): the
// record at offset o owns half the record's size at offset o / 2 of each half. Data needed only
// while a mesh is built lives there, so that the records stay small and its pages can go back to
// the system once the building is done (discardSide), while the records live on.
template <class T>
class FEMeshArenaC {
public:
    static constexpr size_t kGranule = 4;
    static constexpr size_t kRangeBytes = size_t(1) << 34;  // 2^32 steps of 4 bytes
    // Under a limit of address space the arenas share what the ranges may take (see
    // addressRangeBudget): a record type declares its part in percent, after what meshes take of
    // it, as `static constexpr unsigned kRangeShare` (10 when it declares none).
    static constexpr unsigned kRangeShare = [] {
        if constexpr (requires { T::kRangeShare; })
            return unsigned(T::kRangeShare);
        else
            return 10u;
    }();
    static constexpr bool kHasSide = requires { T::kHasSideHalves; };
    // A record type whose side data is written for every record as it is built declares
    // `static constexpr bool kSideFilledAlongside = true;`: its side pages are backed ahead too.
    static constexpr bool kSideFilledAlongside = kHasSide && requires { T::kSideFilledAlongside; };

    static uint32_t handleOf(const T* record)
    {
        return record ? uint32_t(size_t(reinterpret_cast<const char*>(record) - base_) / kGranule) : 0;
    }
    static T* fromHandle(uint32_t handle)
    {
        return handle ? reinterpret_cast<T*>(base_ + size_t(handle) * kGranule) : nullptr;
    }

    // The same for any address within a record of the arena (4-aligned), such as a member.
    static uint32_t handleOfAddress(const void* p)
    {
        return p ? uint32_t(size_t(static_cast<const char*>(p) - base_) / kGranule) : 0;
    }
    static void* addressOf(uint32_t handle) { return handle ? base_ + size_t(handle) * kGranule : nullptr; }

    // Whether a record lies in the arena (one made elsewhere, say on the stack, has no side data).
    static bool holds(const T* record)
    {
        const char* p = reinterpret_cast<const char*>(record);
        return base_ && p >= base_ && p < base_ + 2 * sideHalf_;
    }
    // The side data of a record in half 0 or 1, and back. A side item is at most half a record.
    static void* sideOf(const T* record, unsigned half)
    {
        return sideBase_ + half * sideHalf_ + size_t(reinterpret_cast<const char*>(record) - base_) / 2;
    }
    static unsigned halfOfSide(const void* side) { return static_cast<const char*>(side) - sideBase_ >= ptrdiff_t(sideHalf_) ? 1 : 0; }
    static T* recordOfSide(const void* side)
    {
        const size_t at = size_t(static_cast<const char*>(side) - sideBase_) - halfOfSide(side) * sideHalf_;
        return reinterpret_cast<T*>(base_ + at * 2);
    }
    // Side items linked to each other: their distance from the side halves' start in 4-byte steps
    // (0 is none; no record lies at offset 0).
    static uint32_t sideHandleOf(const void* side)
    {
        return side ? uint32_t(size_t(static_cast<const char*>(side) - sideBase_) / kGranule) : 0;
    }
    static void* sideAddressOf(uint32_t handle) { return handle ? sideBase_ + size_t(handle) * kGranule : nullptr; }
    // Zeroes the side data of a chunk's records: its whole pages go back to the system (and read
    // as zeros after), the bytes in pages it shares with other chunks are cleared.
    static void discardSide(const void* chunk, size_t bytes)
    {
        for (unsigned half = 0; half < 2; ++half) {
            const size_t from = size_t(static_cast<const char*>(chunk) - base_) / 2 + half * sideHalf_;
            const size_t to = from + bytes / 2;
            const size_t begin = (from + kPage - 1) / kPage * kPage;
            const size_t end = to / kPage * kPage;
            if (bytes >= kPrefaultBytes)
                platform::sys::forgetPrefault(sideBase_ + from, to - from);
            if (end > begin) {
                platform::sys::discardPages(sideBase_ + begin, end - begin);
                std::memset(sideBase_ + from, 0, begin - from);
                std::memset(sideBase_ + end, 0, to - end);
            } else {
                std::memset(sideBase_ + from, 0, to - from);
            }
        }
    }

    // A chunk of the given size (a power of two, at least kSmallestChunk), aligned to min(size, 2 MB).
    static void* takeChunk(size_t bytes)
    {
        void* chunk = claimChunk(bytes);
        // A large chunk, new or given back earlier, asks for huge pages only while they come
        // cheaply. Out of the lock: the advice touches and times the chunk's first page.
        if (bytes >= kHugeBytes)
            platform::sys::adviseHugePages(chunk, bytes);
        return chunk;
    }

    // Takes a chunk back for reuse; the pages of a large one go back to the system.
    static void giveChunk(void* chunk, size_t bytes)
    {
        if (letGo(chunk, bytes))
            platform::sys::discardPages(chunk, bytes);
        keepChunk(chunk, bytes);
    }
    // The same in two steps, so that the pages of many chunks can go back together in between:
    // letGo stops the backing of the chunk's pages ahead and says whether they are to be
    // discarded, which must happen before keepChunk makes the chunk free for any pool to take.
    static bool letGo(void* chunk, size_t bytes)
    {
        if (bytes >= kPrefaultBytes)
            platform::sys::forgetPrefault(chunk, bytes);
        return bytes >= kDiscardBytes;
    }
    static void keepChunk(void* chunk, size_t bytes)
    {
#if defined(__SANITIZE_ADDRESS__)
        ASAN_POISON_MEMORY_REGION(chunk, bytes);  // a record used after its part let go of it
#endif
        std::lock_guard<std::mutex> lock(state().mutex);
        state().spare[sizeClass(bytes)].push_back(chunk);
    }

private:
    static void* claimChunk(size_t bytes)
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        State& st = state();
        const unsigned cls = sizeClass(bytes);
        if (!st.spare[cls].empty()) {
            void* c = st.spare[cls].back();
            st.spare[cls].pop_back();
#if defined(__SANITIZE_ADDRESS__)
            ASAN_UNPOISON_MEMORY_REGION(c, bytes);
#endif
            return c;
        }
        if (!base_) {
            // Where address space is limited, the range is the type's share of what the ranges
            // may take, or less where the system refuses that: a smaller range still serves
            // smaller meshes. The side halves, when the records have them, follow the range in
            // the same reservation.
            size_t range = kRangeBytes;
            if (const size_t budget = platform::sys::addressRangeBudget(); budget != SIZE_MAX)
                range = std::clamp(budget / 100 * kRangeShare / (kHasSide ? 2 : 1) / kHugeBytes * kHugeBytes,
                                   kLeastRange, kRangeBytes);
            char* b = nullptr;
            while (!b && range >= kLeastRange) {
                b = static_cast<char*>(platform::sys::reserveAddressRange(kHasSide ? 2 * range : range));
                if (!b)
                    range = range / 2 / kHugeBytes * kHugeBytes;
            }
            if (!b)
                throw std::bad_alloc();
            st.limit = st.reserved = range;
            st.top = kFirstOffset;
            // What the range holds beyond its writable part is the renderer's where it runs short.
            platform::sys::holdSpareRange(&giveBackSpare);
            if constexpr (kHasSide) {
                static_assert(sizeof(T) % 8 == 0, "half a record's offset stays 4-aligned");
                sideBase_ = b + range;
                sideHalf_ = range / 2;
            }
            base_ = b;
        }
        const size_t align = bytes < kHugeBytes ? bytes : kHugeBytes;
        const size_t at = (st.top + align - 1) / align * align;
        if (at + bytes > st.limit && !takeBack(at + bytes))
            throw std::bad_alloc();
        if (at + bytes > st.committed)
            commit(at + bytes);  // under the lock
        st.top = at + bytes;
        return base_ + at;
    }

    // Where a stretch of the range that is to grow up to `end` ends: a quarter more than the
    // `now` bytes it has, at least 2 MB, in whole 2 MB, never past `cap`.
    static size_t grownEnd(size_t end, size_t now, size_t cap)
    {
        const size_t want = std::max(end, now + std::max(now / 4, kHugeBytes));
        return std::min(cap, (want + kHugeBytes - 1) / kHugeBytes * kHugeBytes);
    }
    // Where the side half `half` keeps the data of the records from `offset` on.
    static char* sideStretch(unsigned half, size_t offset) { return sideBase_ + half * sideHalf_ + offset / 2; }

    // Makes the range writable up to `end` and somewhat beyond (a quarter more of what is
    // writable, at least 2 MB), so that a growing pool asks the system rarely; the side halves
    // follow. The range is reserved inaccessible so that a data-segment limit counts only this.
    static void commit(size_t end)
    {
        State& st = state();
        const size_t from = st.committed, to = grownEnd(end, from, st.limit);
        if (!platform::sys::commitAddressRange(base_ + from, to - from))
            throw std::bad_alloc();
        if constexpr (kHasSide)
            for (unsigned half = 0; half < 2; ++half)
                if (!platform::sys::commitAddressRange(sideStretch(half, from), (to - from) / 2))
                    throw std::bad_alloc();  // the records' stretch stays writable, unused
        st.committed = to;
    }

    // Gives back the range beyond its writable part (the side halves' alike), which the gate
    // of the renderer's room asks for where the renderer runs short (see rendererRoomLeft);
    // the bytes given.
    static size_t giveBackSpare()
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        State& st = state();
        if (!base_ || st.committed >= st.limit)
            return 0;
        const size_t from = st.committed, to = st.limit;
        platform::sys::releaseAddressRange(base_ + from, to - from);
        if constexpr (kHasSide)
            for (unsigned half = 0; half < 2; ++half)
                platform::sys::releaseAddressRange(sideStretch(half, from), (to - from) / 2);
        st.limit = from;
        return (to - from) * (kHasSide ? 2 : 1);
    }

    // Takes what was given back again, where it is still free, up to `end` and somewhat beyond
    // (as commit grows), within the range first reserved; false where it cannot.
    static bool takeBack(size_t end)
    {
        State& st = state();
        if (end > st.reserved)
            return false;
        const size_t from = st.limit, to = grownEnd(end, from, st.reserved);
        if (!platform::sys::reserveAddressRangeAt(base_ + from, to - from))
            return false;
        if constexpr (kHasSide)
            for (unsigned half = 0; half < 2; ++half)
                if (!platform::sys::reserveAddressRangeAt(sideStretch(half, from), (to - from) / 2)) {
                    for (unsigned taken = 0; taken < half; ++taken)
                        platform::sys::releaseAddressRange(sideStretch(taken, from), (to - from) / 2);
                    platform::sys::releaseAddressRange(base_ + from, to - from);
                    return false;
                }
        st.limit = to;
        return true;
    }

public:
    static constexpr size_t kSmallestChunk = 256;
    // Chunks from this size on have their pages backed ahead of use (see prefaultPages), this
    // many bytes at a time, a stretch or two ahead of the pool filling them.
    static constexpr size_t kPrefaultBytes = size_t(64) << 10;

private:
    static constexpr size_t kFirstOffset = 4096;  // offset 0 would be the null handle
    static constexpr size_t kHugeBytes = size_t(2) << 20;
    static constexpr size_t kLeastRange = size_t(4) << 20;
    static constexpr size_t kDiscardBytes = size_t(64) << 10;
    static constexpr unsigned kClasses = 40;

    struct State {
        std::mutex mutex;
        size_t top = 0;    // offset of the first byte never handed out
        size_t limit = 0;  // size of the reserved range, less what was given back at its end
        size_t reserved = 0;  // size of the range as first reserved
        size_t committed = 0;  // offset up to which the range is writable
        std::vector<void*> spare[kClasses];
    };
    static State& state()
    {
        static State* s = new State;  // never destroyed: a pool with static lifetime may outlive it
        return *s;
    }
    static unsigned sizeClass(size_t bytes)
    {
        unsigned c = 0;
        while ((kSmallestChunk << c) < bytes)
            ++c;
        return c;
    }

    static constexpr size_t kPage = 4096;
    inline static char* base_ = nullptr;  // set before the first record exists, never changed
    inline static char* sideBase_ = nullptr;
    inline static size_t sideHalf_ = 0;
};

template <class T>
class FEMeshPoolC;

// Lets go of the chunks of several pools together: the pages of all their large chunks go back
// to the system in one go (on several threads where they are many megabytes, see
// discardPagesOfBlocks) before any of the chunks is given back for reuse. The records still in
// them are dropped without their destructors, as by releaseAll; each pool added is empty at once.
class FEMeshChunkReleaseC {
public:
    FEMeshChunkReleaseC() = default;
    FEMeshChunkReleaseC(const FEMeshChunkReleaseC&) = delete;
    FEMeshChunkReleaseC& operator=(const FEMeshChunkReleaseC&) = delete;
    // Where memory ran out on the way, the chunks not yet given back are lost to reuse.
    ~FEMeshChunkReleaseC()
    {
        try {
            done();
        } catch (...) {
        }
    }

    template <class T>
    void add(FEMeshPoolC<T>& pool)
    {
        pool.letGoOfChunks(*this);
    }

    // Discards the pages and gives the chunks back, in the order they were added.
    void done()
    {
        if (!pages.empty()) {
            try {
                platform::sys::discardPagesOfBlocks(pages);
            } catch (...) {  // no memory to cut the work up: one block after the other
                for (const auto& [chunk, bytes] : pages)
                    platform::sys::discardPages(chunk, bytes);
            }
            pages.clear();
        }
        // Each chunk is given back once: where keeping one fails, those kept leave the list and
        // a later call gives back the rest.
        size_t given = 0;
        try {
            for (; given < kept.size(); ++given)
                kept[given].keep(kept[given].chunk, kept[given].bytes);
        } catch (...) {
            kept.erase(kept.begin(), kept.begin() + ptrdiff_t(given));
            throw;
        }
        kept.clear();
    }

private:
    template <class>
    friend class FEMeshPoolC;
    struct Kept {
        void (*keep)(void*, size_t);
        void* chunk;
        size_t bytes;
    };
    std::vector<std::pair<void*, size_t>> pages;
    std::vector<Kept> kept;
};

// A mesh of a million triangles is made of millions of small records; allocating each one
// from the heap costs time and a header per record. The pool hands out slots from chunks it
// owns and recycles freed slots. Records must be destroyed through the pool they came from;
// whatever is still allocated when the pool goes away is released without running its
// destructor, so the owner destroys records that hold resources first.
//
// Under AddressSanitizer every record is a heap object of its own, so the sanitizer still
// sees a use after free or a leak of a single record. Records linked by handle must stay in
// their arena there too: they are never recycled, and a freed one stays poisoned.
template <class T>
class FEMeshPoolC {
public:
    // Records of this type link to each other by 32-bit handles and come from their arena.
    static constexpr bool kHandled = requires { T::kLinkedByHandle; };

    // Records without a destructor of their own may be dropped with their chunks (releaseAll)
    // instead of one by one. Under the sanitizer only records of an arena: the others are heap
    // objects of their own there, which it wants to see go.
#if defined(__SANITIZE_ADDRESS__)
    static constexpr bool kDropsWholesale = kHandled && std::is_trivially_destructible_v<T>;
#else
    static constexpr bool kDropsWholesale = std::is_trivially_destructible_v<T>;
#endif

    FEMeshPoolC() = default;
    FEMeshPoolC(const FEMeshPoolC&) = delete;
    FEMeshPoolC& operator=(const FEMeshPoolC&) = delete;
    ~FEMeshPoolC() { releaseAll(); }

    static_assert(!kHandled || (sizeof(T) % FEMeshArenaC<T>::kGranule == 0 && alignof(T) >= FEMeshArenaC<T>::kGranule),
                  "handles count 4-byte steps");

    template <class... Args>
    T* create(Args&&... args)
    {
#if defined(__SANITIZE_ADDRESS__)
        if constexpr (!kHandled) {
            ++live_;
            return new T(std::forward<Args>(args)...);
        } else {
            // A slot is never reused here, and a freed one stays poisoned, so that the
            // sanitizer still sees a use after free.
            void* slot = takeSlot();
            T* object = new (slot) T(std::forward<Args>(args)...);
            ++live_;
            return object;
        }
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
        if constexpr (!kHandled) {
            delete object;
        } else {
            object->~T();
            ASAN_POISON_MEMORY_REGION(object, sizeof(T));
        }
#else
        object->~T();
        Slot* slot = reinterpret_cast<Slot*>(object);
        setNextFree(slot, freeList_);
        freeList_ = slot;
#endif
    }

    // Number of records created and not yet destroyed.
    size_t live() const { return live_; }

    // Bytes of the slots handed out and freed again (kept for reuse, not given back).
    size_t freedBytes() const { return (taken_ - live_) * sizeof(Slot); }
    size_t takenBytes() const { return taken_ * sizeof(Slot); }

    // The records of a pool none of whose records was ever destroyed: a run of consecutive records
    // per chunk (its first record and how many).
    std::vector<std::pair<T*, size_t>> denseRuns() const
    {
        std::vector<std::pair<T*, size_t>> runs;
        for (Chunk* c = chunks_; c; c = c->next)
            runs.push_back({reinterpret_cast<T*>(slotsOf(c)), c == chunks_ ? used_ : size_t(c->used)});
        return runs;
    }

    // Takes over the chunks and records of another pool, which is left empty. Neither pool may
    // have destroyed a record (their slots stay dense).
    void adopt(FEMeshPoolC& other)
    {
        if (!other.chunks_)
            return;
        other.chunks_->used = uint32_t(other.used_);
        Chunk* last = other.chunks_;
        while (last->next)
            last = last->next;
        if (chunks_) {
            // Behind this pool's newest chunk, which goes on taking slots.
            last->next = chunks_->next;
            chunks_->next = other.chunks_;
        } else {
            chunks_ = other.chunks_;
            used_ = other.used_;
            capacity_ = other.capacity_;
            reach_ = other.reach_;
            nextChunkBytes_ = other.nextChunkBytes_;
        }
        live_ += other.live_;
        taken_ += other.taken_;
        other.chunks_ = nullptr;
        other.used_ = other.capacity_ = other.reach_ = other.live_ = other.taken_ = 0;
        other.nextChunkBytes_ = kFirstChunkBytes;
    }

    // Drops this pool's chunks (and the records still in them, without their destructors) and
    // takes over the other pool's chunks and records; the other pool is left empty.
    void takeOver(FEMeshPoolC& other)
    {
        releaseAll();
        adopt(other);
    }

    // Zeroes the side data of every record, giving back its pages (see FEMeshArenaC).
    void discardSideData()
    {
        if constexpr (FEMeshArenaC<T>::kHasSide)
            for (Chunk* c = chunks_; c; c = c->next)
                FEMeshArenaC<T>::discardSide(c, c->bytes);
    }

    // Frees every chunk. Records still alive are dropped without their destructors.
    void releaseAll()
    {
        FEMeshChunkReleaseC release;
        letGoOfChunks(release);
        release.done();
    }

private:
    friend class FEMeshChunkReleaseC;
    // Empties the pool; chunks of an arena go back through the release, chunks of the heap at once.
    void letGoOfChunks(FEMeshChunkReleaseC& release)
    {
        if constexpr (kHandled) {
            // Room first: once the chunks are listed the pool must end empty, or they would be
            // given back twice.
            size_t count = 0;
            for (Chunk* c = chunks_; c; c = c->next)
                ++count;
            release.pages.reserve(release.pages.size() + count);
            release.kept.reserve(release.kept.size() + count);
        }
        Chunk* c = chunks_;
        while (c) {
            Chunk* next = c->next;  // before the chunk's pages are discarded
            if constexpr (kHandled) {
                const size_t bytes = c->bytes;
#if defined(__SANITIZE_ADDRESS__)
                ASAN_UNPOISON_MEMORY_REGION(c, bytes);
#endif
                if constexpr (FEMeshArenaC<T>::kHasSide)
                    FEMeshArenaC<T>::discardSide(c, bytes);
                if (FEMeshArenaC<T>::letGo(c, bytes))
                    release.pages.push_back({c, bytes});
                release.kept.push_back({&FEMeshArenaC<T>::keepChunk, c, bytes});
            } else {
                if (c->bytes >= FEMeshArenaC<T>::kPrefaultBytes)
                    platform::sys::forgetPrefault(c, c->bytes);
                if (c->bytes >= kLargeChunkBytes)
                    platform::sys::freeLargeBlock(c, c->bytes);
                else
                    std::free(c);
            }
            c = next;
        }
        chunks_ = nullptr;
        freeList_ = nullptr;
        used_ = capacity_ = reach_ = 0;
        nextChunkBytes_ = kFirstChunkBytes;
        live_ = 0;
        taken_ = 0;
    }

    // A free slot holds the next free one in its first bytes. Handled records keep their own
    // size (no rounding up to a pointer's alignment), so the link is copied in and out.
    union LinkSlot {
        LinkSlot* nextFree;
        alignas(T) unsigned char storage[sizeof(T)];
    };
    struct PlainSlot {
        alignas(T) unsigned char storage[sizeof(T)];
    };
    using Slot = std::conditional_t<kHandled, PlainSlot, LinkSlot>;
    static_assert(sizeof(Slot) >= sizeof(Slot*), "a free slot holds a link");
    static Slot* nextFreeOf(Slot* s)
    {
        Slot* next;
        std::memcpy(&next, s, sizeof next);
        return next;
    }
    static void setNextFree(Slot* s, Slot* next) { std::memcpy(s, &next, sizeof next); }
    struct Chunk {
        Chunk* next;
        uint32_t bytes;  // at most kMaxChunkBytes
        uint32_t used;   // slots handed out, once a newer chunk took over
        // the slots follow, aligned for Slot
    };
    // Chunks double from a few hundred bytes up to 2 MB; those come from huge-page blocks. A part
    // of one triangle holds a handful of records of each kind, and its pools should cost that.
    static constexpr size_t kFirstChunkBytes = 256;
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
            freeList_ = nextFreeOf(s);
            return s;
        }
        if (used_ == reach_) {
            if (used_ == capacity_)
                addChunk();
            backAhead();
        }
        ++taken_;
        return &slotsOf(chunks_)[used_++];
    }

    void addChunk()
    {
        size_t bytes = nextChunkBytes_;
        while (bytes < kHead + 4 * sizeof(Slot))
            bytes *= 2;
        void* raw = kHandled ? FEMeshArenaC<T>::takeChunk(bytes)
                  : bytes >= kLargeChunkBytes ? platform::sys::allocateLargeBlock(bytes)
                                              : std::aligned_alloc(kChunkAlignment, bytes);
        if (!raw)
            throw std::bad_alloc();
        Chunk* c = static_cast<Chunk*>(raw);
        if (chunks_)
            chunks_->used = uint32_t(used_);
        c->next = chunks_;
        c->bytes = uint32_t(bytes);
        c->used = 0;
        chunks_ = c;
        used_ = 0;
        capacity_ = (bytes - kHead) / sizeof(Slot);
        if (nextChunkBytes_ < kMaxChunkBytes)
            nextChunkBytes_ *= 2;
    }

    // Lets the fast path run to the end of the stretch of the newest chunk being entered, and
    // has the pages of the next stretch backed meanwhile (of a large chunk only): pages are
    // backed no further ahead than that, so a chunk the part never fills holds no more.
    void backAhead()
    {
        if (chunks_->bytes < FEMeshArenaC<T>::kPrefaultBytes) {
            reach_ = capacity_;
            return;
        }
        constexpr size_t kStretch = (FEMeshArenaC<T>::kPrefaultBytes + sizeof(Slot) - 1) / sizeof(Slot);
        if (used_ == 0)
            prefaultSlots(0, kStretch);
        reach_ = std::min(capacity_, used_ + kStretch);
        prefaultSlots(reach_, reach_ + kStretch);
    }
    // The pages of slots [from, to) of the newest chunk (and of their side data where the type
    // fills it alongside), whole pages, within the chunk.
    void prefaultSlots(size_t from, size_t to)
    {
        to = std::min(to, capacity_);
        if (from >= to)
            return;
        auto* chunk = reinterpret_cast<unsigned char*>(chunks_);
        auto within = [](const unsigned char* lo, const unsigned char* hi, const unsigned char* floor,
                         const unsigned char* ceiling) {
            constexpr uintptr_t kPage = 4096;
            const auto a = std::max(uintptr_t(lo) / kPage * kPage, uintptr_t(floor));
            const auto b = std::min((uintptr_t(hi) + kPage - 1) / kPage * kPage, uintptr_t(ceiling));
            if (b > a)
                platform::sys::prefaultPages(reinterpret_cast<void*>(a), b - a);
        };
        const auto* lo = reinterpret_cast<unsigned char*>(slotsOf(chunks_) + from);
        const auto* hi = reinterpret_cast<unsigned char*>(slotsOf(chunks_) + to);
        within(lo, hi, chunk, chunk + chunks_->bytes);
        if constexpr (kHandled && FEMeshArenaC<T>::kSideFilledAlongside)
            for (unsigned half = 0; half < 2; ++half) {
                auto side = [half](const unsigned char* p) {
                    return static_cast<const unsigned char*>(FEMeshArenaC<T>::sideOf(reinterpret_cast<const T*>(p), half));
                };
                within(side(lo), side(hi), side(chunk), side(chunk) + chunks_->bytes / 2);
            }
    }

    Chunk* chunks_ = nullptr;
    Slot* freeList_ = nullptr;
    size_t used_ = 0;      // slots handed out of the newest chunk
    size_t capacity_ = 0;  // slots of the newest chunk
    size_t reach_ = 0;     // slots of the newest chunk handed out before more are backed ahead
    size_t nextChunkBytes_ = kFirstChunkBytes;
    size_t live_ = 0;
    size_t taken_ = 0;     // slots ever handed out of chunks (live or on the free list)
};
