// A descriptor watch for a program whose loop knows no descriptors: a thread polls,
// and the callback runs on the user-interface thread.

#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include "platform/linux/service_linux.h"

namespace platform {

namespace {

struct Watched {
    std::mutex mutex;
    std::condition_variable done;
    bool stopped = false;
    bool busy = false;
    int fd = -1;
    int wake[2] = {-1, -1};
    std::function<void()> onReadable;
};

void poller(UiThread& ui, std::shared_ptr<Watched> w)
{
    for (;;) {
        pollfd fds[2] = {{w->fd, POLLIN, 0}, {w->wake[0], POLLIN, 0}};
        int r = ::poll(fds, 2, -1);
        std::unique_lock lock(w->mutex);
        if (w->stopped)
            break;
        if (r < 0 && errno != EINTR)
            break;
        if (r <= 0 || (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            continue;
        w->busy = true;
        lock.unlock();
        ui.post([w] {
            std::function<void()> callback;
            {
                std::lock_guard guard(w->mutex);
                if (!w->stopped)
                    callback = w->onReadable;
            }
            if (callback)
                callback();
            std::lock_guard guard(w->mutex);
            w->busy = false;
            w->done.notify_all();
        });
        // Polling again before the callback has read would only post it again.
        lock.lock();
        w->done.wait(lock, [&] { return !w->busy || w->stopped; });
        if (w->stopped)
            break;
    }
    std::lock_guard guard(w->mutex);
    ::close(w->wake[0]);
    ::close(w->wake[1]);
}

class ThreadWatch final : public ReadableWatch {
public:
    explicit ThreadWatch(UiThread& ui) : ui_(ui) {}
    ~ThreadWatch() override
    {
        if (current_)
            unwatch(current_->fd);
    }

    void watch(int fd, std::function<void()> onReadable) override
    {
        if (current_)
            unwatch(current_->fd);
        auto w = std::make_shared<Watched>();
        if (::pipe2(w->wake, O_CLOEXEC) != 0)
            return;
        w->fd = fd;
        w->onReadable = std::move(onReadable);
        current_ = w;
        std::thread(poller, std::ref(ui_), w).detach();
    }

    // May be called from the callback itself: it never waits for the thread.
    void unwatch(int fd) override
    {
        if (!current_ || current_->fd != fd)
            return;
        {
            std::lock_guard guard(current_->mutex);
            current_->stopped = true;
            unsigned char byte = 0;
            [[maybe_unused]] auto n = ::write(current_->wake[1], &byte, 1);
            current_->done.notify_all();
        }
        current_.reset();
    }

private:
    UiThread& ui_;
    std::shared_ptr<Watched> current_;
};

} // namespace

std::unique_ptr<ReadableWatch> makeThreadWatch(UiThread& ui)
{
    return std::make_unique<ThreadWatch>(ui);
}

} // namespace platform
