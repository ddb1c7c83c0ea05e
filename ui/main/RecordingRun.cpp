#include "RecordingRun.h"

#include <filesystem>

#include <QElapsedTimer>
#include <QTimer>

namespace quorvel {

RecordingRun::RecordingRun(std::unique_ptr<AudioStream> stream, const MeasureSetup& setup, const std::string& path,
                           RecordingStart start, QWidget* over, Sink measured)
    : stream_(std::move(stream)),
      setup_(setup),
      name_(std::filesystem::path(path).filename().string()),
      total_(stream_->Frames()),
      measured_(std::move(measured)),
      measure_(*stream_, setup_, start.days, *this)
{
    progress_ = new QProgressDialog(over);
    progress_->setObjectName("dlgMeasureRecording");
    progress_->setWindowTitle("Measure Recording");
    progress_->setLabelText(QString::fromStdString("Measuring " + name_ + " …"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setRange(0, total_ > 0 ? 1000 : 0);
    connect(progress_, &QProgressDialog::canceled, this, &RecordingRun::Cancel);
}

RecordingRun::~RecordingRun() { delete progress_.data(); }

void RecordingRun::Start()
{
    running_ = true;
    if (progress_) {
        progress_->setValue(0);
        progress_->show();
    }
    QTimer::singleShot(0, this, &RecordingRun::Slice);
}

void RecordingRun::Slice()
{
    if (!running_ || inSlice_) return;
    inSlice_ = true;
    QElapsedTimer spent;
    spent.start();
    bool more = true;
    for (int blocks = 0; more && blocks < sliceBlocks_ && spent.elapsed() < 30; ++blocks) more = measure_.Step(1);
    inSlice_ = false;
    if (!running_) return;  // cancelled by what a shot showed
    if (!more) {
        Done(false);
        return;
    }
    const std::int64_t read = measure_.SamplesRead();
    if (progress_) {
        progress_->setLabelText(QString::fromStdString("Measuring " + name_ + " …  " + PlaceText(read, setup_.record.frequency) +
                                                       (total_ > 0 ? " of " + PlaceText(total_, setup_.record.frequency) : "")));
        // A window-modal dialog runs the event loop here: Cancel may come now.
        if (total_ > 0) progress_->setValue(static_cast<int>(std::min<std::int64_t>(999, read * 1000 / total_)));
    }
    if (running_) QTimer::singleShot(0, this, &RecordingRun::Slice);
}

void RecordingRun::Cancel()
{
    if (running_) Done(true);
}

void RecordingRun::Done(bool cancelled)
{
    running_ = false;
    // A muzzle report at the very end still waits for its window, as in a
    // recording that goes on; a cancelled run stops where it is.
    measure_.Finish(!cancelled);
    if (progress_) progress_->hide();
    const int rate = setup_.record.frequency;
    const std::string counted = std::to_string(shots_) + (shots_ == 1 ? " shot" : " shots") + " and " +
                                std::to_string(misses_) + (misses_ == 1 ? " miss" : " misses");
    const std::string kept = " They are in the results window and in the shot library as the string \"" + name_ + "\".";
    const std::string at = PlaceText(measure_.SamplesRead(), rate);
    std::string summary;
    bool trouble = false;
    if (cancelled) {
        summary = "Measuring " + name_ + " was cancelled at " + at + ". The " + counted + " measured up to there are kept." + kept;
    } else if (!stream_->Error().empty()) {
        summary = name_ + " cannot be read past " + at + " (" + stream_->Error() + "). The " + counted +
                  " measured up to there are kept." + kept;
        trouble = true;
    } else if (const std::string cut = stream_->Shortfall(measure_.SamplesRead()); !cut.empty()) {
        summary = name_ + " ends at " + at + " though its header promises " + PlaceText(stream_->Promised(), rate) + ": " +
                  cut + ". The " + counted + " measured up to there are kept." + kept;
        trouble = true;
    } else {
        summary = "Measured " + counted + " in " + name_ + " (" + at + ")." + kept;
    }
    emit finished(QString::fromStdString(summary), trouble);
}

void RecordingRun::Measured(const MeasuredShot& shot)
{
    (shot.IsShot() ? shots_ : misses_) += 1;
    measured_(shot);
}

}  // namespace quorvel
