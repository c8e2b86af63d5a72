// Queue nodes are recycled through blocks so that a burst of events costs a
// few heap calls, not one per event; a block whose nodes are all free goes
// back to the heap, so an idle thread holds no nodes.
#include "toolkit/event_state.h"
#include "toolkit/toolkit_heap.h"

namespace toolkit {

namespace {

constexpr int64_t MinBlockNodes = 16;
constexpr int64_t MaxBlockNodes = 256;

// One sixteenth of the nodes the pool has, rounded down to a multiple of 16,
// kept between 16 and 256.
int64_t NextBlockSize(const NodePool& pool) noexcept {
    int64_t n = (pool.nodeCount / 16) & ~int64_t{15};
    if (n < MinBlockNodes) n = MinBlockNodes;
    if (n > MaxBlockNodes) n = MaxBlockNodes;
    return n;
}

NodeBlock* AllocateBlock(int64_t nodes) noexcept {
    const size_t bytes = sizeof(NodeBlock) + static_cast<size_t>(nodes) * sizeof(EventNode);
    auto* block = static_cast<NodeBlock*>(HeapAlloc(ToolkitHeap(), HEAP_ZERO_MEMORY, bytes));
    if (!block) return nullptr;
    auto* node = reinterpret_cast<EventNode*>(block + 1);
    for (int64_t i = 0; i < nodes; ++i) {
        node[i].block = block;
        node[i].next = i + 1 < nodes ? &node[i + 1] : nullptr;
    }
    block->freeNodes = node;
    block->capacity = nodes;
    block->freeCount = nodes;
    return block;
}

}  // namespace

EventNode* TakeNode(NodePool& pool) noexcept {
    NodeBlock* block = pool.blocks;
    while (block && block->freeCount == 0) block = block->next;
    if (!block) {
        block = AllocateBlock(NextBlockSize(pool));
        if (!block) block = AllocateBlock(1);
        if (!block) return nullptr;
        block->next = pool.blocks;
        pool.blocks = block;
        pool.nodeCount += block->capacity;
    }
    EventNode* node = block->freeNodes;
    block->freeNodes = node->next;
    --block->freeCount;
    node->next = nullptr;
    return node;
}

void GiveNode(NodePool& pool, EventNode* node) noexcept {
    NodeBlock* block = node->block;
    node->next = block->freeNodes;
    block->freeNodes = node;
    if (++block->freeCount < block->capacity) return;
    // Every node of the block is free: unlink it and give it back.
    for (NodeBlock** link = &pool.blocks; *link; link = &(*link)->next) {
        if (*link == block) {
            *link = block->next;
            break;
        }
    }
    pool.nodeCount -= block->capacity;
    HeapFree(ToolkitHeap(), 0, block);
}

}  // namespace toolkit
