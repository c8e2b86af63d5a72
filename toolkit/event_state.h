#pragma once
// The event library's per-thread state: the event queue with its node pool,
// the event last taken and the suppression depth. (The process-wide EventLock
// is in the toolkit's state block.)

#include "toolkit/scoped.h"

#include <cstdint>

namespace toolkit {

struct NodeBlock;

struct EventNode {
    EventNode* next;
    int32_t code;
    uint32_t flags;  // the RaiseEvent flags
    int64_t object;
    int64_t window;
    int64_t data;
    NodeBlock* block;  // the pool block the node belongs to
};

// A block of nodes from the heap; its nodes follow the header.
struct NodeBlock {
    NodeBlock* next;
    EventNode* freeNodes;  // singly linked through EventNode::next
    int64_t capacity;
    int64_t freeCount;
};

struct NodePool {
    NodeBlock* blocks;
    int64_t nodeCount;  // nodes in all blocks, free or not
};

struct EventQueue {
    EventNode* head;
    EventNode* tail;
};

struct CurrentEvent {
    int32_t code;
    int64_t window;
    int64_t object;
    int64_t data;
};

struct EventThreadState {
    EventQueue queue;
    CurrentEvent currentEvent;
    int32_t suppressDepth;
    NodePool pool;
};

// The calling thread's state, zero-filled on its first use.
[[nodiscard]] EventThreadState& EventThread() noexcept;

// Node pool: a free node (null when no memory is left), and its return.
[[nodiscard]] EventNode* TakeNode(NodePool& pool) noexcept;
void GiveNode(NodePool& pool, EventNode* node) noexcept;

// Takes the calling thread's next queued event into CurrentEvent and returns
// its code, or 0 when the queue is empty.
int32_t TakeNextEvent() noexcept;

}  // namespace toolkit
