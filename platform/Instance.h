// One recorder per user: the first Quorvel listens on a local socket in a
// folder only its user can enter; a second start finds it there, asks it to
// come to the front (and to start recording, for --record) and ends,
// instead of recording the same microphone into the same files. A socket
// left behind by a crash answers nobody and is taken over.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace quorvel {

class Instance {
public:
    virtual ~Instance() = default;
    struct Claimed {
        bool first = true;             // this process is now the one recorder
        std::string runningSettings;   // else: the settings file the running one uses
    };
    // `record`: the running one is asked to start recording too.
    virtual Claimed Claim(bool record) = 0;
    // Called on the owner's thread when a second start asks for the
    // window; returns the settings file in use, for the second to compare.
    std::function<std::string(bool record)> onRaise;
};

// The socket's path: $XDG_RUNTIME_DIR/quorvel/recorder, or quorvel-UID in
// the temporary folder when there is no runtime folder; made mode 700.
// Empty when that folder cannot be made private (someone else's, a link):
// `why` then says so.
std::string InstanceSocketPath(std::string* why = nullptr);
// With an empty path every start is the first: recording alone matters more than the lock.
std::unique_ptr<Instance> MakeLocalSocketInstance(const std::string& path);

}  // namespace quorvel
