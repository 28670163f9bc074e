#include "win32/MessageQueue.h"

#include "win32/Win32.h"

MessageQueue& MessageQueue::Get()
{
    static MessageQueue* queue = new MessageQueue;
    return *queue;
}

void MessageQueue::Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard lock(mutex_);
        MSG msg{};
        msg.hwnd = hwnd;
        msg.message = message;
        msg.wParam = wParam;
        msg.lParam = lParam;
        msg.time = GetTickCount();
        queue_.push_back(Entry{msg, nextSequence_++});
    }
    posted_.notify_all();
}

bool MessageQueue::ReplaceNewest(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard lock(mutex_);
    if (queue_.empty()) {
        return false;
    }
    Entry& newest = queue_.back();
    if (newest.msg.hwnd != hwnd || newest.msg.message != message) {
        return false;
    }
    // A move queued before a pending quit stays before it.
    if (quitPending_ && newest.sequence >= quitSequence_) {
        return false;
    }
    newest.msg.wParam = wParam;
    newest.msg.lParam = lParam;
    newest.msg.time = GetTickCount();
    return true;
}

void MessageQueue::PostQuit(int exitCode)
{
    {
        std::lock_guard lock(mutex_);
        if (!quitPending_) {
            quitSequence_ = nextSequence_;
        }
        quitPending_ = true;
        quitCode_ = exitCode;
    }
    posted_.notify_all();
}

bool MessageQueue::Take(MSG* out, HWND hwnd, UINT filterMin, UINT filterMax, bool remove)
{
    const HWND onlyThreadMessages = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
    std::lock_guard lock(mutex_);
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        // Messages posted after the quit are never delivered before it: the loop ends at the quit.
        if (quitPending_ && it->sequence >= quitSequence_) {
            break;
        }
        const MSG& msg = it->msg;
        if (hwnd == onlyThreadMessages ? msg.hwnd != nullptr : (hwnd && msg.hwnd != hwnd)) {
            continue;
        }
        if ((filterMin != 0 || filterMax != 0) && (msg.message < filterMin || msg.message > filterMax)) {
            continue;
        }
        *out = msg;
        if (remove) {
            queue_.erase(it);
        }
        return true;
    }
    if (quitPending_) {
        MSG quit{};
        quit.message = WM_QUIT;
        quit.wParam = static_cast<WPARAM>(static_cast<intptr_t>(quitCode_));
        quit.time = GetTickCount();
        *out = quit;
        if (remove) {
            quitPending_ = false;
        }
        return true;
    }
    return false;
}

bool MessageQueue::Contains(HWND hwnd, UINT message) const
{
    std::lock_guard lock(mutex_);
    for (const Entry& entry : queue_) {
        if (entry.msg.hwnd == hwnd && entry.msg.message == message) {
            return true;
        }
    }
    return false;
}

void MessageQueue::Purge(HWND hwnd)
{
    std::lock_guard lock(mutex_);
    std::erase_if(queue_, [hwnd](const Entry& entry) { return entry.msg.hwnd == hwnd; });
}

void MessageQueue::Clear()
{
    std::lock_guard lock(mutex_);
    queue_.clear();
    quitPending_ = false;
    quitCode_ = 0;
}

void MessageQueue::WaitForPost(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    const uint64_t seen = nextSequence_;
    const bool quitSeen = quitPending_;
    posted_.wait_for(lock, timeout, [&] { return nextSequence_ != seen || quitPending_ != quitSeen; });
}
