#pragma once
// The control thread's queue. Everything the logic does runs here, one event
// at a time, in the order the events arrived.
#include <functional>

void enqueueControlTask(std::function<void()> task);
// A timer tick is keyed by its timer; while one tick of a timer waits, more
// ticks of it are dropped so a slow callback cannot build a backlog.
// Returns false when the tick was dropped.
bool enqueueControlTick(const void* timerKey, std::function<void()> task);
bool controlQueueIdle();
// The last event of the run: drops every queued event, runs next (after the
// one running now) and closes the queue, so nothing else runs after it.
void enqueueFinalControlTask(std::function<void()> task);
bool finalControlTaskDone();
// Opens the queue again after a final task (tests).
void reopenControlQueue();
