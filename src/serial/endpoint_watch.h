#pragma once
// Tells when a network endpoint takes connections again. A gateway has no
// device node to watch for, so a thread of its own tries to connect once a
// second (closing again at once) and tells each time it succeeds, until the
// watch goes.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class EndpointWatch {
  public:
    // accepts runs on the watch's thread.
    EndpointWatch(std::string device, std::function<void()> accepts);
    ~EndpointWatch();
    EndpointWatch(const EndpointWatch&) = delete;
    EndpointWatch& operator=(const EndpointWatch&) = delete;

  private:
    void run();

    const std::string device_;
    const std::function<void()> accepts_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};
