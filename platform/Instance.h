// One recorder per user: the first Quorvel listens on a local socket in the
// user's runtime folder; a second start finds it there, asks it to come to
// the front and ends, instead of recording the same microphone into the same
// files. A socket left behind by a crash answers nobody and is taken over.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace quorvel {

class Instance {
public:
    virtual ~Instance() = default;
    // True when this process is now the one recorder; false when another
    // was found and asked to come to the front.
    virtual bool Claim() = 0;
    // Called on the owner's thread when a second start asks for the window.
    std::function<void()> onRaise;
};

class FakeInstance final : public Instance {
public:
    bool Claim() override { return !taken; }
    bool taken = false;
};

// The socket's path: $XDG_RUNTIME_DIR/quorvel/recorder, or a folder of the
// user's own under /tmp when there is no runtime folder.
std::string InstanceSocketPath();
std::unique_ptr<Instance> MakeLocalSocketInstance(const std::string& path);

}  // namespace quorvel
