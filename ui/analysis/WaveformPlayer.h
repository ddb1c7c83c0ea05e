// The analysis window's Tools menu: "Play All" plays the whole waveform
// through a temporary file and waits with the event loop running; "Play
// Zoomed" streams the zoom window's stretch in 4800-sample chunks on tmrPlay
// while the overview's play pointer follows what is being heard.
#pragma once

#include <functional>
#include <string>

#include <QAction>
#include <QTimer>

#include "AnalysisModel.h"
#include "Dialogs.h"
#include "SoundOutput.h"
#include "WaveformViews.h"

namespace quorvel {

class WaveformPlayer final : public QObject {
    Q_OBJECT
public:
    struct Wiring {
        const AnalysisModel& model;
        OverviewView& overview;
        SoundOutput& output;
        Dialogs& dialogs;
        std::string programFolder;           // where tmp.wav goes
        std::function<void()> yield;         // lets the event loop run while Play All waits
        std::function<bool()> giveUp;        // the window closed or the program ends
        std::function<bool()> ending;        // no message while the program ends
    };
    WaveformPlayer(Wiring wiring, QObject* parent);
    void SetActions(QAction* playAll, QAction* playZoomed);

    void PlayAll();
    void PlayRange(int from, int to);
    void tmrPlay_Timer();
    void Stop();
    bool Playing() const { return tmrPlay.isActive() || playingAll_; }
    bool Streaming() const { return tmrPlay.isActive(); }

private:
    Wiring w_;
    QTimer tmrPlay;
    QAction* playAll_ = nullptr;  // owned by the menu
    QAction* playZoomed_ = nullptr;
    int playPos_ = 0;
    int playStart_ = 0;
    int playEnd_ = 0;
    bool playFirst_ = false;
    bool finishing_ = false;  // the last chunk is written; the pointer runs on until it is heard
    bool playingAll_ = false;
};

}  // namespace quorvel
