// Tests of the record pools and of the 32-bit handles by which mesh records link to each other.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "geometry/mesh/FEMeshPool.h"
#include "geometry/mesh/FEMeshTopology.h"

namespace {

// Records of several pools, created interleaved and across many chunks, link to each other
// through handles; every link reads back as the record it was set to, also after a pool
// released its chunks and a new one took them over.
TEST(FEMeshPool, HandlesLinkRecordsOfManyPoolsAndChunks)
{
    for (int round = 0; round < 2; ++round) {
        FEMeshPoolC<FEMeshHalfEdgeC> poolA, poolB;
        FEMeshPoolC<FEMeshLoopC> loops;
        std::vector<FEMeshHalfEdgeC*> hs;
        const int n = 200000;  // past the largest chunk size
        for (int i = 0; i < n; ++i)
            hs.push_back(i % 3 ? poolA.create() : poolB.create());
        std::vector<FEMeshLoopC*> ls;
        for (int i = 0; i < 100; ++i)
            ls.push_back(loops.create());
        for (int i = 0; i < n; ++i) {
            hs[i]->setNext(hs[(i + 1) % n]);
            hs[i]->setPrevious(i % 7 ? hs[(i + n - 1) % n] : nullptr);
            hs[i]->setLoop(ls[i % 100]);
        }
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(hs[i]->getNext(), hs[(i + 1) % n]);
            ASSERT_EQ(hs[i]->getPrevious(), i % 7 ? hs[(i + n - 1) % n] : nullptr);
            ASSERT_EQ(hs[i]->getLoop(), ls[i % 100]);
            ASSERT_EQ(hs[i]->getVertex(), nullptr);
        }
        // A freed slot taken again links like a new one.
        poolA.destroy(hs[1]);
        FEMeshHalfEdgeC* again = poolA.create();
        hs[0]->setNext(again);
        EXPECT_EQ(hs[0]->getNext(), again);
        EXPECT_EQ(poolA.live(), size_t(n - n / 3 - 1));
        for (int i = 2; i < n; ++i)
            if (i % 3)
                poolA.destroy(hs[i]);
        poolA.destroy(again);
        EXPECT_EQ(poolA.live(), 0u);
        poolA.releaseAll();
        FEMeshHalfEdgeC* fresh = poolA.create();
        fresh->setNext(hs[0]);
        EXPECT_EQ(fresh->getNext(), hs[0]);
        EXPECT_EQ(fresh->getEdge(), nullptr);
    }
}

// Pools on several threads share the arenas of their record types.
TEST(FEMeshPool, PoolsOnSeveralThreads)
{
    std::vector<std::thread> threads;
    std::vector<int> ok(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &ok] {
            FEMeshPoolC<FEMeshHalfEdgeC> pool;
            std::vector<FEMeshHalfEdgeC*> hs;
            for (int i = 0; i < 50000; ++i)
                hs.push_back(pool.create());
            for (size_t i = 0; i + 1 < hs.size(); ++i)
                hs[i]->setNext(hs[i + 1]);
            bool good = true;
            for (size_t i = 0; i + 1 < hs.size(); ++i)
                good = good && hs[i]->getNext() == hs[i + 1];
            ok[t] = good ? 1 : 0;
        });
    for (std::thread& th : threads)
        th.join();
    EXPECT_EQ(ok, std::vector<int>(4, 1));
}

}  // namespace
