#pragma once
// Platform-internal: the one posted-message queue of the process, with the pending quit. Safe to post to from any
// thread.

#include "win32/Win32.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

class MessageQueue
{
public:
    static MessageQueue& Get();

    void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Updates the newest queued message when it is `message` for hwnd (moves of the pointer collapse into one,
    // as they always have); false when it is not, and nothing changed.
    bool ReplaceNewest(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The quit is delivered once every message queued before it has been taken.
    void PostQuit(int exitCode);
    // The first message that passes the filter (hwnd null: any window; (HWND)-1: only messages with no window;
    // min and max both 0: any message), or the pending quit, which passes every filter. remove takes it away.
    bool Take(MSG* out, HWND hwnd, UINT filterMin, UINT filterMax, bool remove);
    bool Contains(HWND hwnd, UINT message) const;
    // Drops the messages of a destroyed window.
    void Purge(HWND hwnd);
    void Clear();
    // Waits up to timeout for something to be posted.
    void WaitForPost(std::chrono::milliseconds timeout);

private:
    MessageQueue() = default;

    struct Entry {
        MSG msg;
        uint64_t sequence;
    };

    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Entry> queue_;
    uint64_t nextSequence_ = 0;
    bool quitPending_ = false;
    int quitCode_ = 0;
    uint64_t quitSequence_ = 0;
};
