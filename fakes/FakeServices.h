// Stand-ins for everything Quorvel talks to outside itself: the sound
// server's devices and mixer, the message boxes and file dialogs, the
// desktop, the sound output and the single-instance lock. Each records what
// it was asked and answers as it is told, so tests, benchmarks and the
// screenshot tool drive the real windows without a desktop or a server.
// FakeServices holds one of each, with a hand-set clock.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "AudioInputs.h"
#include "Clock.h"
#include "Dialogs.h"
#include "FakeRecordingDevice.h"
#include "FileDialogs.h"
#include "Instance.h"
#include "LiveRecordingDevice.h"
#include "Mixer.h"
#include "Shell.h"
#include "SoundOutput.h"

namespace quorvel {

class FakeAudioInputs final : public AudioInputs {
public:
    std::vector<InputDevice> List() override { return devices; }
    void OnChanged(std::function<void()> callback) override { changed = std::move(callback); }
    std::vector<InputDevice> devices;
    std::function<void()> changed;
};

class FakeDialogs final : public Dialogs {
public:
    struct Message {
        std::string title;
        std::string text;
    };
    void Critical(const std::string& title, const std::string& text) override { shown.push_back({title, text}); }
    void Information(const std::string& title, const std::string& text) override { informed.push_back({title, text}); }
    bool Question(const std::string& title, const std::string& text) override
    {
        asked.push_back({title, text});
        return answerYes;
    }
    std::vector<Message> shown;
    std::vector<Message> informed;
    std::vector<Message> asked;
    bool answerYes = true;
};

class FakeFileDialogs final : public FileDialogs {
public:
    std::string SaveFileName(const std::string&, const std::string&, const std::string&, bool) override { return answer; }
    std::string OpenFileName(const std::string&, const std::string& start) override
    {
        openedAt = start;
        return answer;
    }
    std::string answer;
    std::string openedAt;
};

class FakeInstance final : public Instance {
public:
    Claimed Claim(bool) override { return {!taken, taken ? running : std::string()}; }
    bool taken = false;
    std::string running;
};

class FakeLiveDevice final : public LiveRecordingDevice {
public:
    int Open(int deviceNum, int sampleRate, BlockDoneListener& listener) override
    {
        if (deviceNum < 0 || deviceNum >= static_cast<int>(ids.size())) return kNoSuchDevice;
        return inner.Open(deviceNum, sampleRate, listener);
    }
    void Queue(std::span<std::uint8_t> block) override { inner.Queue(block); }
    void Start() override { inner.Start(); }
    void Reset() override { inner.Reset(); }
    void Close() override { inner.Close(); }
    void UseDevices(std::vector<std::string> list) override { ids = std::move(list); }
    int Overruns() const override { return inner.overruns; }
    void Fail(const std::string& reason)
    {
        if (onFailure) onFailure(reason);
    }
    FakeRecordingDevice inner;
    std::vector<std::string> ids;
};

class FakeMixer final : public Mixer {
public:
    bool HasControl(const std::string& id) override { return levels.count(id) != 0; }
    bool SetLevel(const std::string& id, std::uint32_t level) override
    {
        if (!HasControl(id)) return false;
        levels[id] = level;
        return true;
    }
    std::optional<std::uint32_t> Level(const std::string& id) override
    {
        if (!HasControl(id)) return std::nullopt;
        return levels[id];
    }
    void Close() override { closed = true; }
    std::map<std::string, std::uint32_t> levels;
    bool closed = false;
};

class FakeShell final : public Shell {
public:
    bool OpenUrl(const std::string& url) override
    {
        opened.push_back(url);
        return opens;
    }
    std::vector<std::string> opened;
    bool opens = true;
};

class FakeSoundOutput final : public SoundOutput {
public:
    std::string PlayFile(const std::string& path, int rate, const std::function<void()>& yield,
                         const std::function<bool()>& abort) override
    {
        playedFiles.push_back(path);
        playedRate = rate;
        for (int turn = 0; turn < playTurns && !abort(); ++turn) yield();
        return failure;
    }
    std::string Open(int rate) override
    {
        openRate = rate;
        written = 0;
        open = failure.empty();
        return failure;
    }
    std::size_t Room() override { return open ? room : 0; }
    void Write(std::span<const std::uint8_t> chunk) override
    {
        chunks.emplace_back(chunk.begin(), chunk.end());
        written += static_cast<std::int64_t>(chunk.size());
    }
    void Finish() override { open = false; }
    void Close() override { open = false; }
    // Plays `lag` samples behind what was written.
    std::int64_t Played() override { return std::max<std::int64_t>(0, written - lag); }
    bool Sounding() override { return open || Played() < written; }

    std::string failure;
    int playTurns = 0;  // turns of the event loop a played file lasts
    std::size_t room = 1 << 20;
    bool open = false;
    int openRate = 0;
    int playedRate = 0;
    std::int64_t written = 0;
    std::int64_t lag = 0;
    std::vector<std::string> playedFiles;
    std::vector<std::vector<std::uint8_t>> chunks;
};

struct FakeServices {
    FakeLiveDevice device;
    FakeAudioInputs inputs;
    ManualClock clock;
    FakeDialogs dialogs;
    FakeShell shell;
    FakeFileDialogs fileDialogs;
    FakeMixer mixer;
    FakeSoundOutput output;
};

}  // namespace quorvel
