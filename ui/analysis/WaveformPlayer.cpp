#include "WaveformPlayer.h"

#include <filesystem>

#include "WaveFile.h"

namespace quorvel {

namespace {
constexpr int kChunk = 4800;
}

WaveformPlayer::WaveformPlayer(Wiring wiring, QObject* parent) : QObject(parent), w_(std::move(wiring))
{
    tmrPlay.setParent(this);
    tmrPlay.setObjectName("tmrPlay");
    tmrPlay.setInterval(50);
    connect(&tmrPlay, &QTimer::timeout, this, &WaveformPlayer::tmrPlay_Timer);
}

void WaveformPlayer::SetActions(QAction* playAll, QAction* playZoomed)
{
    playAll_ = playAll;
    playZoomed_ = playZoomed;
}

void WaveformPlayer::PlayAll()
{
    if (playingAll_) return;
    // The whole waveform plays to its end; meanwhile the window takes no
    // second playback, and closing it or ending the program stops it.
    playingAll_ = true;
    playAll_->setEnabled(false);
    playZoomed_->setEnabled(false);
    const std::string path = w_.programFolder + "/tmp.wav";
    const std::int32_t rate = w_.model.Rate();
    std::string failure = WriteWaveFile(path, w_.model.Waveform(), rate);
    if (failure.empty()) failure = w_.output.PlayFile(path, rate, w_.yield, w_.giveUp);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);  // also when playing failed
    playingAll_ = false;
    playAll_->setEnabled(true);
    playZoomed_->setEnabled(true);
    if (!failure.empty() && !w_.ending()) w_.dialogs.Critical("Error", "Cannot play the waveform: " + failure);
}

void WaveformPlayer::PlayRange(int from, int to)
{
    playPos_ = from;
    playStart_ = from;
    playEnd_ = to < 1 ? kRingSamples - 1 : std::min(to, kRingSamples - 1);
    finishing_ = false;
    w_.output.Close();
    const std::string failure = w_.output.Open(w_.model.Rate());
    if (!failure.empty()) {
        tmrPlay.stop();
        w_.overview.SetPlayPointer(0, false);
        playAll_->setEnabled(true);
        w_.dialogs.Critical("Error", "Cannot play the waveform: " + failure);
        return;
    }
    w_.overview.SetPlayPointer(from, true);
    playFirst_ = true;
    tmrPlay.start();
    playAll_->setEnabled(false);
}

void WaveformPlayer::tmrPlay_Timer()
{
    // The pointer stays with what is being heard; below 96 kHz the output
    // takes chunks well ahead of the sound.
    if (!playFirst_) w_.overview.SetPlayPointer(static_cast<int>(playStart_ + w_.output.Played()), true);
    if (finishing_) {
        if (w_.output.Sounding()) return;
        tmrPlay.stop();
        w_.overview.SetPlayPointer(w_.overview.PlayPointerSample(), false);
        playAll_->setEnabled(true);
        return;
    }
    // The device must have room for the next chunk (it takes them in real
    // time at 96000 samples per second, more slowly at lower rates).
    if (!playFirst_ && w_.output.Room() < static_cast<std::size_t>(kChunk)) return;
    playFirst_ = false;
    if (playPos_ >= playEnd_) {
        // The chunk from here on lies past the zoom window and would only be
        // cut off; what was written before it plays to its end.
        w_.output.Finish();
        finishing_ = true;
        return;
    }
    if (playPos_ + kChunk < kRingSamples) {
        w_.output.Write(std::span<const std::uint8_t>(w_.model.Waveform().data() + playPos_, kChunk));
    }
    playPos_ += kChunk;
}

void WaveformPlayer::Stop()
{
    tmrPlay.stop();
    finishing_ = false;
    w_.output.Close();
    w_.overview.SetPlayPointer(w_.overview.PlayPointerSample(), false);
    if (playAll_ != nullptr) playAll_->setEnabled(true);
}

}  // namespace quorvel
