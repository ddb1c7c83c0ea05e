#include "SignalWaker.h"

#include <cstdint>

#include <sys/eventfd.h>
#include <unistd.h>

namespace quorvel {

SignalWaker::SignalWaker(QObject* parent)
    : QObject(parent), fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), notifier_(fd_, QSocketNotifier::Read)
{
    connect(&notifier_, &QSocketNotifier::activated, this, [this] {
        std::uint64_t count = 0;
        while (::read(fd_, &count, sizeof count) > 0) {
        }
        emit woken();
    });
}

SignalWaker::~SignalWaker()
{
    if (fd_ >= 0) ::close(fd_);
}

void SignalWaker::Wake() noexcept
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(fd_, &one, sizeof one);
}

}  // namespace quorvel
