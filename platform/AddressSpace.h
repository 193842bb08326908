// The process's address space under a limit (ulimit -v, prlimit --as, a service's LimitAS=):
// what is left of it, what the software renderer needs of it, and how the rest is shared.
//
// A run maps far more address space than it backs: the record pools reserve ranges of many
// gigabytes (reserveAddressRange), the allocator reserves 64 MB for each thread's heap, and the
// renderer starts two threads with a stack of their own for each processor. Where the address
// space is limited, each of these takes a share in proportion to the limit, so that the renderer
// always has its room: when it has none, its compiler aborts the process, and a drawing thread
// that could not be started leaves every frame waiting for it.
//
// A data-segment limit (ulimit -d, a service's LimitDATA=) counts every private writable
// mapping instead: the threads' stacks in full, the heaps and the record pools' ranges only as
// far as they are made writable, which they are as they grow (see commitAddressRange).
#pragma once

#include <cstddef>
#include <string>

#include "platform/Reason.h"

namespace platform::sys {

// The limit in bytes; SIZE_MAX without one.
size_t addressSpaceLimit();
// What the process may still map under its limit; SIZE_MAX without one.
size_t addressSpaceLeft();

// The data-segment limit (ulimit -d, a service's LimitDATA=) in bytes; SIZE_MAX without one.
// It counts every private writable mapping the process makes (its heaps, the renderer's
// buffers and shaders), not only the heap that brk grows.
size_t dataSegmentLimit();
// What the process may still map writable under that limit; SIZE_MAX without one.
size_t dataSegmentLeft();

// The worker threads the renderer makes, as it counts them: none unless it is the threaded one
// (GALLIUM_DRIVER unset, empty or llvmpipe); else LP_NUM_THREADS when set, or one per processor
// this process may use, none on one processor; at most 32.
unsigned rendererThreads();
// Address space the renderer takes beyond its libraries with that many threads: the stacks of
// its drawing and compute threads, the shaders it compiles and what drawing a frame asks (far
// more for the unthreaded renderer).
size_t rendererRoom(unsigned threads);
// Of that, what it still asks while it draws, once its context and threads are made.
size_t rendererDrawingRoom();
// Whether what is left under both limits holds the renderer's room with that many threads.
bool rendererHasRoom(unsigned threads);

// How a run fits a limit of address space that leaves `left` bytes once the renderer's
// libraries are loaded, on that many processors. The arenas the user chose (userArenas, 0 for
// none) are kept: each thread that allocates may take one, up to that count, so they are counted
// in what is needed, and the renderer gets fewer threads where that makes room.
struct AddressSpacePlan {
    unsigned rendererThreads = 0;
    unsigned mallocArenas = 1;
    size_t needed = 0;  // the least `left` with which a model can be drawn at all
};
AddressSpacePlan planAddressSpace(size_t left, unsigned processors, unsigned userArenas = 0);
// The same under a data-segment limit that leaves `left`: the threads' stacks count there in
// full, the arenas' heaps only as far as they are used (mallocArenas is 0: not planned).
AddressSpacePlan planDataSegment(size_t left, unsigned processors);

// Whether the renderer and a model have their room under the process's limits as they stand,
// with the renderer threads and arenas it will have (the user's counts included): empty when
// they do (always without a limit), else one line naming the limit (ulimit -v, or ulimit -d)
// and the least that serves. Changes nothing: the control asks it before it starts the renderer.
// Where the viewer's module could not be loaded under the limit (its libraries found no room),
// what the process would hold once it is (from sizeOnceLoaded) is counted instead of what it
// holds.
struct ProcessSize {
    size_t mapped = 0;    // address space
    size_t writable = 0;  // what of it the data-segment limit counts
};
// With `planned`, the renderer gets the threads the plan would give (fitToAddressSpace), unless
// the user chose them; else those it makes by itself.
ReasonText memoryShortfallReason(ProcessSize atLeast = {}, bool planned = false);
// What a control asks before it starts the renderer: the same line, given only where the limit
// falls short by more than the least a model takes, so that a program's window and its image,
// made after the program named the figure, do not make the control refuse at that figure.
ReasonText rendererStartShortfall();
// What the process would hold once the shared object at `path` is loaded: what it holds now,
// and the object and the libraries it needs that the process does not hold yet, as their files
// tell (found as the loader finds them: RUNPATH, LD_LIBRARY_PATH, the system's folders). Asked
// before loading it: a load that failed leaves part of it mapped.
ProcessSize sizeOnceLoaded(const std::string& path);

// The plan applied, by a program that holds the viewer's module, once the module is loaded
// and before it makes a control (so before the renderer starts or other threads are made).
// Under a limit it keeps to the plan: fewer allocator arenas and renderer threads, each unless
// the user chose them (MALLOC_ARENA_MAX or glibc.malloc.arena_max, LP_NUM_THREADS). It sets the
// process's environment, so it is called while no other thread reads it; the module itself
// never calls it. Returns memoryShortfallReason() after.
ReasonText fitToAddressSpace();

// What the record pools' ranges may take together: under a limit, half of what is left beyond
// the renderer's room when first asked (a pool's range is its share of that); SIZE_MAX without.
// What a range holds beyond its writable part is the renderer's where it runs short (see
// rendererRoomLeft).
size_t addressRangeBudget();

}  // namespace platform::sys

namespace platform::sys {

// The gate every step that asks the renderer for memory passes (a frame, a step of a pass,
// compiling a batch of the model's lists, the picture's context): whether what one step may ask
// (rendererDrawingRoom(): shaders, a frame's buffers, its queued work) is still left under both
// limits, what the process may still map (ulimit -v) and map writable (ulimit -d). The model's
// own memory eats into it as it is read and built; a step that asks the renderer for more than
// is left ends the process inside the renderer, which cannot fail gracefully. Address space held
// spare (see holdSpareRange) is the renderer's too: where the room is short, it is given back
// and looked at again, so that it is never counted both as taken and as the models'. Always true
// without limits.
bool rendererRoomLeft();
// The same gate for memory the models take beside the renderer: whether taking that many bytes
// more of one kind still leaves the renderer its step's room under the limit that counts them.
enum class MemoryKind { AddressSpace, Writable };
bool rendererRoomLeftAfter(MemoryKind kind, size_t bytes);
// A holder of address space reserved ahead of use (a record pool's range beyond what it has
// made writable) registers how to give it back; the gate calls it, on any thread, where the
// renderer's room is short, and it returns the bytes it gave. Never unregistered: the holders
// live as long as the process.
void holdSpareRange(size_t (*giveBack)());

}  // namespace platform::sys
