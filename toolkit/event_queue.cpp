// The per-thread event queue: raising with merge and suppression, dropping,
// and taking the next event.
#include "toolkit/event_queue.h"

#include "toolkit/event_codes.h"
#include "toolkit/event_state.h"
#include "toolkit/toolkit_state.h"

namespace toolkit {

namespace {

// Zero-initialised, so a thread starts with an empty queue and no pool.
constinit thread_local EventThreadState t_events{};

bool Matches(int64_t wanted, int64_t value) noexcept { return wanted == -1 || wanted == value; }

// Removes every node of the calling thread's queue that `drop` selects.
// Without the event lock: a queue is only ever touched by its own thread
// (RaiseEvent and TakeNextEvent take the lock, which serialises nothing but
// same-thread calls), so dropping cannot race with anything.
template <class Predicate>
void DropMatching(Predicate drop) noexcept {
    EventThreadState& state = EventThread();
    EventQueue& queue = state.queue;
    EventNode* kept = nullptr;
    EventNode** link = &queue.head;
    while (EventNode* node = *link) {
        if (drop(*node)) {
            *link = node->next;
            GiveNode(state.pool, node);
        } else {
            kept = node;
            link = &node->next;
        }
    }
    queue.tail = kept;
}

}  // namespace

EventThreadState& EventThread() noexcept { return t_events; }

void RaiseEvent(int32_t code, int64_t object, int64_t window, int64_t data, uint32_t flags) noexcept {
    EventThreadState& state = EventThread();
    Guard guard(Toolkit().eventLock);
    if (state.suppressDepth != 0 && !(flags & DeliverAlways)) return;
    // An event equal to the newest queued one merges into it, so bursts of
    // repaints or resizes do not grow the queue.
    if (const EventNode* tail = state.queue.tail;
        tail && tail->code == code && tail->object == object && tail->window == window && tail->data == data) {
        return;
    }
    EventNode* node = TakeNode(state.pool);
    if (!node) return;
    node->code = code;
    node->flags = flags;
    node->object = object;
    node->window = window;
    node->data = data;
    node->next = nullptr;
    if (state.queue.tail) {
        state.queue.tail->next = node;
    } else {
        state.queue.head = node;
    }
    state.queue.tail = node;
}

void DropEvents(int32_t code, int64_t object, int64_t window, int64_t data) noexcept {
    DropMatching([&](const EventNode& node) {
        return Matches(code, node.code) && Matches(object, node.object) && Matches(window, node.window) &&
               Matches(data, node.data);
    });
}

void DropWindowEvents(int64_t window) noexcept {
    DropMatching([&](const EventNode& node) { return node.window == window; });
}

void SuppressEvents() noexcept { ++EventThread().suppressDepth; }

void ResumeEvents() noexcept {
    // An unmatched resume must not leave the depth negative, which would
    // suppress the thread's events for good.
    int32_t& depth = EventThread().suppressDepth;
    if (depth > 0) --depth;
}

int32_t TakeNextEvent() noexcept {
    EventThreadState& state = EventThread();
    CurrentEvent& current = state.currentEvent;
    current.code = 0;
    Guard guard(Toolkit().eventLock);
    current.data = -1;
    if (EventNode* node = state.queue.head) {
        current.code = node->code;
        current.object = node->object;
        current.window = node->window;
        current.data = node->data;
        state.queue.head = node->next;
        if (!state.queue.head) state.queue.tail = nullptr;
        GiveNode(state.pool, node);
    }
    return current.code;
}

int64_t EventMenuItem() noexcept { return EventThread().currentEvent.object; }

}  // namespace toolkit
