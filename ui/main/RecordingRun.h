// "Measure Recording…": a recording file measured through the live
// detector on the UI thread, a slice of about 30 ms at a time, so the
// progress dialog moves and Cancel answers at once while the machine
// measures as fast as it can. What it measures goes to whoever started it,
// shot by shot, so nothing measured is lost to a Cancel or a damaged file.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QPointer>
#include <QProgressDialog>

#include "RecordingMeasure.h"
#include "RecordingStart.h"

namespace quorvel {

class RecordingRun final : public QObject, private MeasureListener {
    Q_OBJECT
public:
    using Sink = std::function<void(MeasuredShot)>;
    RecordingRun(std::unique_ptr<AudioStream> stream, const MeasureSetup& setup, const std::string& path,
                 RecordingStart start, QWidget* over, Sink measured);
    ~RecordingRun() override;

    void Start();
    void Cancel();
    // The program ends: nothing more is measured, and nothing is said.
    void Abandon() { running_ = false; }
    bool Running() const { return running_; }
    QProgressDialog* Progress() { return progress_; }
    // Tests measure a block per turn of the event loop, to stop in between.
    void SetSliceBlocks(int blocks) { sliceBlocks_ = blocks; }
    int Shots() const { return shots_; }
    int Misses() const { return misses_; }

signals:
    // Measuring is over: what the shooter is told, and whether it went wrong.
    void finished(const QString& summary, bool trouble);

private:
    void Slice();
    void Done(bool cancelled);
    void Measured(const MeasuredShot& shot) override;

    std::unique_ptr<AudioStream> stream_;
    MeasureSetup setup_;
    std::string name_;
    std::int64_t total_;
    Sink measured_;
    RecordingMeasure measure_;
    QPointer<QProgressDialog> progress_;
    bool running_ = false;
    bool inSlice_ = false;
    int sliceBlocks_ = 1 << 30;
    int shots_ = 0;
    int misses_ = 0;
};

}  // namespace quorvel
